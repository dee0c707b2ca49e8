# Tests of the Windows build, included by tests/CMakeLists.txt. The executable is checked as a
# file (its headers, imports and resources, and that a clean rebuild gives the same bytes), and
# its dialogue is run under Wine.

# The system's own Python, which sees Debian's python3-pefile, rather than another on the PATH.
if(NOT DEFINED Python3_ROOT_DIR)
  set(Python3_ROOT_DIR /usr)
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME executable.check
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_executable.py
    $<TARGET_FILE:sudoku> ${PROJECT_SOURCE_DIR}/resources/sudoku.ico)
add_test(NAME executable.rebuild_is_identical
  COMMAND ${CMAKE_COMMAND}
    "-DSOURCE_DIR=${PROJECT_SOURCE_DIR}"
    "-DTOOLCHAIN=${CMAKE_TOOLCHAIN_FILE}"
    "-DGENERATOR=${CMAKE_GENERATOR}"
    "-DBUILD_TYPE=${CMAKE_BUILD_TYPE}"
    -DEXECUTABLE=$<TARGET_FILE:sudoku>
    "-DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/rebuild"
    -P "${CMAKE_CURRENT_LIST_DIR}/check_rebuild.cmake")
set_tests_properties(executable.rebuild_is_identical PROPERTIES TIMEOUT 300)

# Cross-built, the program runs under Wine: once on every transcript's input, before the
# transcript tests compare what it wrote. In an emulated machine that takes some minutes.
if(CMAKE_CROSSCOMPILING)
  set(wine_results "${CMAKE_CURRENT_BINARY_DIR}/wine_runs")
  add_test(NAME wine.run_transcripts
    COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/run_transcripts_under_wine.sh"
      $<TARGET_FILE:sudoku> "${CMAKE_CURRENT_SOURCE_DIR}/transcripts" "${wine_results}")
  set_tests_properties(wine.run_transcripts PROPERTIES
    FIXTURES_SETUP wine_runs TIMEOUT 3000 RUN_SERIAL TRUE)
endif()
