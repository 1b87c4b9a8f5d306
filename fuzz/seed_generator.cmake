# The seed generator, shared by the fuzz build and the replay tests.
include_guard(GLOBAL)
# Its TIFF seeds are written with libtiff itself.
pkg_check_modules(SEED_LIBTIFF REQUIRED IMPORTED_TARGET libtiff-4)
add_executable(quillmere_make_seeds ${CMAKE_CURRENT_LIST_DIR}/make_seeds.cpp)
target_link_libraries(quillmere_make_seeds PRIVATE quillmere_image PkgConfig::SEED_LIBTIFF)
