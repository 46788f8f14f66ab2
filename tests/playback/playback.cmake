lumenarc_add_test(test_playback_control SOURCES PlaybackControlTest.cpp
                  LIBS lumenarc_playback lumenarc_testsupport)
lumenarc_add_test(test_texture_context SOURCES MpvTextureContextTest.cpp
                  LIBS lumenarc_playback lumenarc_testmovies LABELS threads)
