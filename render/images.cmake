# Image files: the view's TIFF textures and the pictures of the preview tool.
find_package(TIFF REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)

target_sources(lumenarc_render PRIVATE
    ImageFile.cpp
    PngWriter.cpp
    TextureLoader.cpp
    TiffFile.cpp
    TiffImage.cpp
)
target_link_libraries(lumenarc_render PRIVATE TIFF::TIFF PNG::PNG JPEG::JPEG)
