# Image files: TIFF textures, the preview tool's pictures, the generated image resources.
find_package(TIFF REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)

add_library(lumenarc_imagetestfiles STATIC ImageTestFiles.cpp)
target_include_directories(lumenarc_imagetestfiles PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/..)
target_link_libraries(lumenarc_imagetestfiles PUBLIC TIFF::TIFF PRIVATE PNG::PNG JPEG::JPEG)

lumenarc_add_test(test_images
    SOURCES TiffImageTest.cpp TextureLoaderTest.cpp ImageFileTest.cpp
    LIBS lumenarc_render lumenarc_testsupport lumenarc_imagetestfiles)

lumenarc_add_test(test_image_resources
    SOURCES ImageResourcesTest.cpp
    LIBS lumenarc_render lumenarc_testsupport)
add_dependencies(test_image_resources lumenarc_resources)

# Its own executable: it replaces the global operator new to watch allocation sizes.
lumenarc_add_test(test_image_limits
    SOURCES ImageLimitsTest.cpp
    LIBS lumenarc_render lumenarc_testsupport lumenarc_imagetestfiles)
