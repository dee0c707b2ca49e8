# Runs the program on one transcript's input and compares what it writes with the transcript's
# expected output, byte for byte. The program must end by itself with exit status 0 and write
# nothing to standard error.
#
#   cmake -DPROGRAM=<program> -DTRANSCRIPT=<dir>/<name> -DWORK_DIR=<dir> -P run_transcript.cmake
#
# <name>.in is the input, <name>.out the expected output.

get_filename_component(name "${TRANSCRIPT}" NAME)
set(actual "${WORK_DIR}/${name}.actual")

execute_process(
  COMMAND ${PROGRAM}
  INPUT_FILE "${TRANSCRIPT}.in"
  OUTPUT_FILE "${actual}"
  ERROR_VARIABLE errors
  RESULT_VARIABLE status
  TIMEOUT 10)

if(NOT status STREQUAL "0")
  message(FATAL_ERROR "${name}: exit status ${status}, expected 0")
endif()
if(NOT errors STREQUAL "")
  message(FATAL_ERROR "${name}: wrote to standard error:\n${errors}")
endif()

execute_process(
  COMMAND ${CMAKE_COMMAND} -E compare_files "${TRANSCRIPT}.out" "${actual}"
  RESULT_VARIABLE differs)
if(differs)
  file(READ "${TRANSCRIPT}.out" expected_text HEX)
  file(READ "${actual}" actual_text HEX)
  message(FATAL_ERROR "${name}: output differs from ${TRANSCRIPT}.out\n"
                      "expected (hex): ${expected_text}\nactual (hex):   ${actual_text}")
endif()
