# The fuzz targets' checks in the normal build: each target's entry point is
# linked with a small driver and replayed over freshly generated seeds (each
# also in 24 damaged copies, the same on every run) and the findings kept in
# fuzz/regressions/<target>. The two EXIF diagnostics are the only lines a
# damaged file may print.
include(${CMAKE_CURRENT_LIST_DIR}/seed_generator.cmake)

set(quillmere_fuzz_seeds ${PROJECT_BINARY_DIR}/fuzz-seeds)
add_test(NAME fuzz_replay.make_seeds COMMAND quillmere_make_seeds ${quillmere_fuzz_seeds})
set_tests_properties(fuzz_replay.make_seeds PROPERTIES FIXTURES_SETUP quillmere_fuzz_seeds)

foreach(name decode exif text stream)
  add_executable(${name}_replay ${CMAKE_CURRENT_LIST_DIR}/replay_main.cpp ${CMAKE_CURRENT_LIST_DIR}/${name}_fuzzer.cpp)
  target_link_libraries(${name}_replay PRIVATE quillmere_image)
  set(inputs ${quillmere_fuzz_seeds}/${name})
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/regressions/${name})
    list(APPEND inputs ${CMAKE_CURRENT_LIST_DIR}/regressions/${name})
  endif()
  add_test(NAME fuzz_replay.${name}
           COMMAND ${name}_replay --damage 24 --allow-output "No image in jpeg!" --allow-output "too many padding bytes" ${inputs})
  set_tests_properties(fuzz_replay.${name} PROPERTIES FIXTURES_REQUIRED quillmere_fuzz_seeds)
endforeach()
