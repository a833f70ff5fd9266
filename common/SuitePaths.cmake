# Prints, one a line, what an installed suite folder must hold, from the
# suite folder's names: for checks outside CMake (scripts/package.sh).
#
#   cmake -DSUITE_DIR=./usr/lib/pelmora -P common/SuitePaths.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/Suite.cmake)
if(NOT DEFINED SUITE_DIR)
    message(FATAL_ERROR "SuitePaths: SUITE_DIR is not given")
endif()

pelmora_host_program(launcher ${PELMORA_LAUNCHER_PROGRAM})
pelmora_host_program(menu ${PELMORA_MENU_PROGRAM})
set(paths ${SUITE_DIR}/${launcher} ${SUITE_DIR}/${menu} ${SUITE_DIR}/${PELMORA_SETTINGS_FILE}
          ${SUITE_DIR}/${PELMORA_HELP_DOCUMENT} ${SUITE_DIR}/${PELMORA_PREREQUISITES_DOCUMENT}
          ${SUITE_DIR}/${PELMORA_CD_SITE_DOCUMENT}
          ${SUITE_DIR}/${PELMORA_CONVERTER_FOLDER}/${PELMORA_CONVERTER_HELP_DOCUMENT}
          ${SUITE_DIR}/${PELMORA_ICON_FOLDER}/pelmora.ico)
foreach(tool IN LISTS PELMORA_TOOLS)
    pelmora_host_program(program ${PELMORA_TOOL_${tool}_PROGRAM})
    list(APPEND paths ${SUITE_DIR}/${PELMORA_TOOL_${tool}_FOLDER}/${program})
endforeach()
list(JOIN paths "\n" text)
# To standard output: message() writes to standard error.
execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${text}")
