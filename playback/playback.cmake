target_sources(lumenarc_playback PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/KeyMap.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MeshInteraction.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MpvPlayback.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MpvTextureContext.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlaybackControl.cpp
)
