# Runs the program on one transcript's input and compares what it writes with the transcript's
# expected output, byte for byte. The program must end by itself with exit status 0 and write
# nothing to standard error.
#
#   cmake -DPROGRAM=<program> -DTRANSCRIPT=<dir>/<name> -DWORK_DIR=<dir> [-DLINE_END=CRLF]
#         -P run_transcript.cmake
#   cmake -DRESULTS_DIR=<dir> -DTRANSCRIPT=<dir>/<name> -DLINE_END=CRLF -P run_transcript.cmake
#
# <name>.in is the input, <name>.out the expected output. With LINE_END=CRLF each line the
# program writes must end in CR LF, as on Windows. RESULTS_DIR holds the runs of a cross-built
# program, made under Wine by windows/run_transcripts_under_wine.sh.

get_filename_component(name "${TRANSCRIPT}" NAME)
if(RESULTS_DIR)
  set(WORK_DIR "${RESULTS_DIR}")
  set(actual "${RESULTS_DIR}/${name}.actual")
  file(READ "${RESULTS_DIR}/${name}.errors" errors)
  file(STRINGS "${RESULTS_DIR}/${name}.status" status)
else()
  set(actual "${WORK_DIR}/${name}.actual")
  execute_process(
    COMMAND ${PROGRAM}
    INPUT_FILE "${TRANSCRIPT}.in"
    OUTPUT_FILE "${actual}"
    ERROR_VARIABLE errors
    RESULT_VARIABLE status
    TIMEOUT 10)
endif()

if(NOT status STREQUAL "0")
  message(FATAL_ERROR "${name}: exit status ${status}, expected 0")
endif()
if(NOT errors STREQUAL "")
  message(FATAL_ERROR "${name}: wrote to standard error:\n${errors}")
endif()

set(expected "${TRANSCRIPT}.out")
if(LINE_END STREQUAL "CRLF")
  file(READ "${expected}" text)
  string(REPLACE "\n" "\r\n" text "${text}")
  set(expected "${WORK_DIR}/${name}.expected")
  file(WRITE "${expected}" "${text}")
endif()

execute_process(
  COMMAND ${CMAKE_COMMAND} -E compare_files "${expected}" "${actual}"
  RESULT_VARIABLE differs)
if(differs)
  file(READ "${expected}" expected_text HEX)
  file(READ "${actual}" actual_text HEX)
  message(FATAL_ERROR "${name}: output differs from ${expected}\n"
                      "expected (hex): ${expected_text}\nactual (hex):   ${actual_text}")
endif()
