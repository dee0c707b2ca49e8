# Builds the program again from clean, in another folder, and compares the result with the
# tested executable: the same sources must give the same bytes.
#
#   cmake -DSOURCE_DIR= -DTOOLCHAIN= -DGENERATOR= -DBUILD_TYPE= -DEXECUTABLE= -DWORK_DIR=
#         -P check_rebuild.cmake

file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}" -G "${GENERATOR}"
    "--toolchain=${TOOLCHAIN}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}" -DBUILD_TESTING=OFF
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK_DIR}" --target sudoku
  COMMAND_ERROR_IS_FATAL ANY)

get_filename_component(name "${EXECUTABLE}" NAME)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E compare_files "${EXECUTABLE}" "${WORK_DIR}/${name}"
  RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "a clean rebuild of ${name} differs from the tested one")
endif()
