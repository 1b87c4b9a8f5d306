# The seed generator, shared by the fuzz build and the replay tests.
include_guard(GLOBAL)
add_executable(quillmere_make_seeds ${CMAKE_CURRENT_LIST_DIR}/make_seeds.cpp)
target_link_libraries(quillmere_make_seeds PRIVATE quillmere_image)
