# The bitmap-font text overlay: glyphs from Qt's text rendering, packed into GL display lists.
find_package(Qt6 REQUIRED COMPONENTS Gui)

target_sources(lumenarc_render PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/GlyphBitmap.cpp
    ${CMAKE_CURRENT_LIST_DIR}/QtGlyphSource.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FontGLLists.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TextOverlay.cpp
)
target_link_libraries(lumenarc_render PUBLIC Qt6::Gui)
