# Tests of the Windows build, included by tests/CMakeLists.txt. The executable that ships, the 32-bit one, is also checked as a
# file: its headers, imports and resources, and that a clean rebuild gives the same bytes.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(check_executable "${CMAKE_CURRENT_LIST_DIR}/check_executable.py")
  add_test(NAME executable.check
    COMMAND ${Python3_EXECUTABLE} ${check_executable} $<TARGET_FILE:sudoku>)
  add_test(NAME executable.check_finds_faults
    COMMAND ${Python3_EXECUTABLE} ${check_executable} --faults $<TARGET_FILE:sudoku>)
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
endif()

# Cross-built, the program runs under Wine, in a prefix of the tests' own with one server that
# stays up from the first run to the last.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(wine_environment
    "WINEPREFIX=${CMAKE_CURRENT_BINARY_DIR}/wine_prefix"
    WINEDEBUG=-all
    "WINEDLLOVERRIDES=mscoree,mshtml=")  # no offer to install .NET or a browser engine
  foreach(action IN ITEMS start stop)
    add_test(NAME wine.${action}
      COMMAND ${CMAKE_COMMAND}
        -DACTION=${action}
        "-DLAUNCHER=${CMAKE_CROSSCOMPILING_EMULATOR}"
        "-DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}"
        -P "${CMAKE_CURRENT_LIST_DIR}/wine_session.cmake")
  endforeach()
  set(wine_skipped "runs no 32-bit programs")
  set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300
    ENVIRONMENT "${wine_environment}" SKIP_REGULAR_EXPRESSION "${wine_skipped}")
  set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine
    ENVIRONMENT "${wine_environment}")

  # Makes the test a run under Wine, in the shared session.
  function(runs_under_wine test)
    set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED wine
      ENVIRONMENT "${wine_environment}" SKIP_REGULAR_EXPRESSION "${wine_skipped}")
  endfunction()
endif()
