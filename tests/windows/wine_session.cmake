# Starts or stops the Wine session that the tests of a cross-built Windows program share: one
# server that stays up and a prefix made once, so that each run of the program is quick.
#
#   cmake -DACTION=start|stop -DLAUNCHER=<wine> -DWORK_DIR=<dir> -P wine_session.cmake
#
# WINEPREFIX names the prefix. Wine's server and the prefix's background processes get no pipe
# of the test's: they would hold it open, and the test would wait for them.

set(quiet INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)

if(ACTION STREQUAL "stop")
  execute_process(COMMAND wineserver -k ${quiet})
  return()
endif()

file(MAKE_DIRECTORY "$ENV{WINEPREFIX}")
execute_process(COMMAND wineserver -p ${quiet} RESULT_VARIABLE status)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "wineserver -p: exit status ${status}")
endif()

set(log "${WORK_DIR}/wineboot.log")
execute_process(COMMAND ${LAUNCHER} wineboot
  INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE "${log}"
  RESULT_VARIABLE status)
file(READ "${log}" errors)
if(status STREQUAL "126" AND errors MATCHES "Exec format error")
  message("${LAUNCHER} cannot start: this machine runs no 32-bit programs")
elseif(NOT status STREQUAL "0")
  message(FATAL_ERROR "${LAUNCHER} wineboot: exit status ${status}\n${errors}")
endif()
