# Lays out a demo suite: run with cmake -P from the build (target suite_layout).
#
#   DEMO          the folder to lay out; removed and written anew
#   SUITE_SOURCE  the suite/ source folder (documents, icons, demo site)
#   STANDIN       the tool stand-in, copied under each tool's name
#   VASK          the menu program stand-in
#   PELMORA       the launcher (optional)
#   STROVAN       the converter (optional)
#   ZOLVEX        the autorun program (optional)
#
# Result:
#   DEMO/drives/c: -> ../C, DEMO/drives/x: -> ../X   (the drive table)
#   DEMO/C/Pelmora/                                   (the suite folder)
#   DEMO/C/Camescope/                                 (a camcorder's folder)
#   DEMO/X/                                           (the virtual disk's root)
cmake_minimum_required(VERSION 3.25)
# The suite folder's names, as the programs know them.
include(${CMAKE_CURRENT_LIST_DIR}/../../common/Suite.cmake)

foreach(required DEMO SUITE_SOURCE STANDIN VASK)
    if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
        message(FATAL_ERROR "SuiteLayout: ${required} is not given")
    endif()
endforeach()

# The folder is removed whole: make sure it is the demo folder of a build.
cmake_path(IS_ABSOLUTE DEMO demo_is_absolute)
cmake_path(GET DEMO FILENAME demo_name)
if(NOT demo_is_absolute OR NOT demo_name STREQUAL "demo")
    message(FATAL_ERROR "SuiteLayout: DEMO must be an absolute path ending in /demo: ${DEMO}")
endif()

# The drive links go first, so that nothing can lead the removal outside.
file(GLOB old_links LIST_DIRECTORIES true "${DEMO}/drives/*")
foreach(link IN LISTS old_links)
    if(IS_SYMLINK "${link}")
        file(REMOVE "${link}")
    endif()
endforeach()
file(REMOVE_RECURSE "${DEMO}")

set(suite "${DEMO}/C/Pelmora")
set(camera "${DEMO}/C/Camescope")
set(root "${DEMO}/X")
file(MAKE_DIRECTORY "${DEMO}/drives" "${suite}" "${camera}" "${root}")

# Relative links: the demo can be moved with its build folder.
file(CREATE_LINK "../C" "${DEMO}/drives/c:" SYMBOLIC)
file(CREATE_LINK "../X" "${DEMO}/drives/x:" SYMBOLIC)

# A program copied under another name keeps its own extension (".exe" where the
# host has one); copies keep the execute permission.
function(install_program source folder name)
    cmake_path(GET source EXTENSION LAST_ONLY extension)
    file(MAKE_DIRECTORY "${folder}")
    file(COPY_FILE "${source}" "${folder}/${name}${extension}" ONLY_IF_DIFFERENT)
    file(CHMOD "${folder}/${name}${extension}"
        PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                    WORLD_READ WORLD_EXECUTE)
endfunction()

# CR LF line ends, as the suite's tools write their files on Windows.
function(write_dos_text path)
    list(JOIN ARGN "\r\n" text)
    file(WRITE "${path}" "${text}\r\n")
endfunction()

# --- The suite folder --------------------------------------------------------
if(DEFINED PELMORA AND NOT PELMORA STREQUAL "")
    pelmora_host_program(launcher "${PELMORA_LAUNCHER_PROGRAM}")
    install_program("${PELMORA}" "${suite}" "${launcher}")
endif()
pelmora_host_program(menu "${PELMORA_MENU_PROGRAM}")
install_program("${VASK}" "${suite}" "${menu}")

foreach(document ${PELMORA_HELP_DOCUMENT} ${PELMORA_PREREQUISITES_DOCUMENT}
                 ${PELMORA_CD_SITE_DOCUMENT})
    file(COPY "${SUITE_SOURCE}/docs/${document}" DESTINATION "${suite}")
endforeach()
write_dos_text("${suite}/${PELMORA_SETTINGS_FILE}" "[${PELMORA_SETTINGS_SECTION}]"
               "${PELMORA_SETTINGS_KEY}=X:")

file(MAKE_DIRECTORY "${suite}/${PELMORA_AUTORUN_FOLDER}")
if(DEFINED ZOLVEX AND NOT ZOLVEX STREQUAL "" AND EXISTS "${ZOLVEX}")
    file(COPY "${ZOLVEX}" DESTINATION "${suite}/${PELMORA_AUTORUN_FOLDER}")
endif()

file(GLOB icons "${SUITE_SOURCE}/ico/*.ico")
file(COPY ${icons} DESTINATION "${suite}/${PELMORA_ICON_FOLDER}")

set(converter_folder "${suite}/${PELMORA_CONVERTER_FOLDER}")
file(MAKE_DIRECTORY "${converter_folder}")
if(DEFINED STROVAN AND NOT STROVAN STREQUAL "")
    pelmora_host_program(converter "${PELMORA_CONVERTER_PROGRAM}")
    install_program("${STROVAN}" "${converter_folder}" "${converter}")
endif()
file(COPY "${SUITE_SOURCE}/docs/${PELMORA_CONVERTER_HELP_DOCUMENT}" DESTINATION "${converter_folder}")

foreach(tool IN LISTS PELMORA_STANDIN_TOOLS)
    pelmora_host_program(program "${PELMORA_TOOL_${tool}_PROGRAM}")
    install_program("${STANDIN}" "${suite}/${PELMORA_TOOL_${tool}_FOLDER}" "${program}")
endforeach()

# --- A camcorder's folder, as copied from a JVC camera ------------------------
# Recording folders with a three-character hexadecimal counter, clips (.MOD)
# with their index files (.MOI), one .PGI per folder, and the camera's own
# MGR_INFO folder, which the conversion leaves alone. Where demo/camescope holds
# a real clip and its index, it is copied: small MPEG-2 program streams whose
# index files give the recording dates, and for PRG001 say "filmed in 16:9"
# while the streams' own headers say 4:3, as these camcorders write them.
# The other clips are stand-ins the conversion renames only.
function(camera_folder name)
    file(MAKE_DIRECTORY "${camera}/${name}")
    foreach(clip IN LISTS ARGN)
        set(real "${SUITE_SOURCE}/demo/camescope/${name}/${clip}")
        if(EXISTS "${real}.MOD" AND EXISTS "${real}.MOI")
            file(COPY "${real}.MOD" "${real}.MOI" DESTINATION "${camera}/${name}")
            continue()
        endif()
        file(WRITE "${camera}/${name}/${clip}.MOD"
            "Clip de démonstration ${name}/${clip}.MOD (contenu factice)\n")
        file(WRITE "${camera}/${name}/${clip}.MOI"
            "Index du clip ${name}/${clip}.MOD (contenu factice)\n")
    endforeach()
    file(WRITE "${camera}/${name}/${name}.PGI" "Index du dossier ${name} (contenu factice)\n")
endfunction()
camera_folder(PRG001 MOV001 MOV002)
camera_folder(PRG002 MOV003)
camera_folder(PRG00A MOV00A MOV00B)
file(WRITE "${camera}/MGR_INFO/MGR_INFO.DAT" "Informations du caméscope (contenu factice)\n")

# --- The virtual disk's root: the site to burn --------------------------------
file(GLOB site_pages "${SUITE_SOURCE}/demo/racine/*")
file(COPY ${site_pages} DESTINATION "${root}")

message(STATUS "Demo suite laid out in ${DEMO}")
