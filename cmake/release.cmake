# Makes the release from clean builds, in build/release: the static Linux programs
# sudoku-<version>-linux-x86_64.tar.gz and sudoku-<version>-linux-aarch64.tar.gz, the Windows
# executable sudoku-<version>-win32.zip, and their SHA256SUMS. Each package is made by a workflow
# preset, whose date for every file is the program's own, under fakeroot, so that root owns every
# file whoever packs: the same sources built with the same toolchain give the same bytes.
#
#   cmake -P cmake/release.cmake

cmake_minimum_required(VERSION 3.25)
# The linux-x86_64 preset builds for the machine it runs on: elsewhere it would make a second
# program for that machine, and one Linux package would overwrite the other.
cmake_host_system_information(RESULT host QUERY OS_PLATFORM)
if(NOT host STREQUAL "x86_64")
  message(FATAL_ERROR "A release is made on an x86-64 machine, not on ${host}.")
endif()
find_program(fakeroot fakeroot)
if(NOT fakeroot)
  message(FATAL_ERROR "A release is packed under fakeroot: apt-get install fakeroot")
endif()
cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH source_dir)
set(release_dir "${source_dir}/build/release")

file(REMOVE_RECURSE "${release_dir}")
foreach(platform IN ITEMS linux-x86_64 linux-aarch64 win32)
  execute_process(
    COMMAND "${fakeroot}" "${CMAKE_COMMAND}" --workflow --preset release-${platform} --fresh
    WORKING_DIRECTORY "${source_dir}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# CPack's staging folder.
file(REMOVE_RECURSE "${release_dir}/_CPack_Packages")

file(GLOB packages RELATIVE "${release_dir}" "${release_dir}/sudoku-*")
set(sums "")
foreach(package IN LISTS packages)
  file(SHA256 "${release_dir}/${package}" sum)
  string(APPEND sums "${sum}  ${package}\n")
endforeach()
file(WRITE "${release_dir}/SHA256SUMS" "${sums}")
message(STATUS "Release in ${release_dir}:\n${sums}")
