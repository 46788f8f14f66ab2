# Image files: the view's TIFF textures and the pictures of the preview tool.
find_package(TIFF REQUIRED)

target_sources(lumenarc_render PRIVATE
    TextureLoader.cpp
    TiffFile.cpp
    TiffImage.cpp
)
target_link_libraries(lumenarc_render PRIVATE TIFF::TIFF)
