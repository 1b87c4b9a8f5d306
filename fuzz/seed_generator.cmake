# The seed generator, shared by the fuzz build and the replay tests.
include_guard(GLOBAL)
add_executable(quillmere_make_seeds ${CMAKE_CURRENT_LIST_DIR}/make_seeds.cpp)
# Its TIFF seeds are written with libtiff itself.
target_link_libraries(quillmere_make_seeds PRIVATE quillmere_image PkgConfig::QUILLMERE_LIBTIFF)
