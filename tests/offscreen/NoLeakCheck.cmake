# Read by ctest after the discovered tests are added (see CMakeLists.txt beside this file).
foreach(test IN LISTS test_offscreen_gl_TESTS)
    set_tests_properties(${test} PROPERTIES ENVIRONMENT
                         "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1")
endforeach()
