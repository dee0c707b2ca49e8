# Builds the Windows executable again from clean, in another folder, and compares it with the
# tested one: the same sources must give the same bytes. Runs in the source folder.
#
#   cmake -DEXECUTABLE=<sudoku.exe> -DWORK_DIR=<dir> -P check_rebuild.cmake

file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND ${CMAKE_COMMAND} --preset win32 -B "${WORK_DIR}" -DBUILD_TESTING=OFF
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK_DIR}" --target sudoku
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${EXECUTABLE}" "${WORK_DIR}/sudoku.exe"
  RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "a clean rebuild of sudoku.exe differs from the tested one")
endif()
