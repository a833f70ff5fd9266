# What an installed suite folder holds, written once for the two programs, the
# stand-ins, the demo layout, the install rules and the tests. CMake reads this
# file as it is (the demo layout runs in script mode); C++ reads the header
# generated from it (SuiteLayout.h.in). Generating C++ from CMake needs one
# configure_file; the reverse would need CMake to parse C++ with regexes.
#
# Names are used as written: no quote or backslash in them (the generated
# header checks). Folder names carry no backslash; the programs add it.

# The tools of the launcher's menu, in the order of its table: the folder
# below the suite folder, the program file started there and the caption of
# its button. On the host the programs are installed without their extension.
set(PELMORA_TOOLS Strovan Quorel Dravoli Maltho Koumbra Pastrel)
set(PELMORA_TOOL_Strovan_FOLDER Strovan.2005)
set(PELMORA_TOOL_Strovan_PROGRAM Strovan.EXE)
set(PELMORA_TOOL_Strovan_CAPTION "Transformation fichiers JVC MOD en MPG")
set(PELMORA_TOOL_Quorel_FOLDER Quorel)
set(PELMORA_TOOL_Quorel_PROGRAM Quorel.EXE)
set(PELMORA_TOOL_Quorel_CAPTION "Renommer un groupe de fichiers")
set(PELMORA_TOOL_Dravoli_FOLDER Dravoli)
set(PELMORA_TOOL_Dravoli_PROGRAM Dravoli.EXE)
set(PELMORA_TOOL_Dravoli_CAPTION "Création d'un diaporama photo html")
set(PELMORA_TOOL_Maltho_FOLDER Maltho)
set(PELMORA_TOOL_Maltho_PROGRAM Maltho.EXE)
set(PELMORA_TOOL_Maltho_CAPTION "Création d'une page html contenant une vidéo")
set(PELMORA_TOOL_Koumbra_FOLDER Koumbra)
set(PELMORA_TOOL_Koumbra_PROGRAM Koumbra.exe)
set(PELMORA_TOOL_Koumbra_CAPTION "Modification d'un diaporama créé avec WowSlider")
set(PELMORA_TOOL_Pastrel_FOLDER Pastrel)
set(PELMORA_TOOL_Pastrel_PROGRAM Pastrel.EXE)
set(PELMORA_TOOL_Pastrel_CAPTION "Création d'une page html contenant du son")
# The tool built here (the converter); the others are stand-ins.
set(PELMORA_CONVERTER_TOOL Strovan)
set(PELMORA_CONVERTER_FOLDER ${PELMORA_TOOL_${PELMORA_CONVERTER_TOOL}_FOLDER})
set(PELMORA_CONVERTER_PROGRAM ${PELMORA_TOOL_${PELMORA_CONVERTER_TOOL}_PROGRAM})
set(PELMORA_STANDIN_TOOLS ${PELMORA_TOOLS})
list(REMOVE_ITEM PELMORA_STANDIN_TOOLS ${PELMORA_CONVERTER_TOOL})

# In the suite folder.
set(PELMORA_LAUNCHER_PROGRAM Pelmora.exe)
set(PELMORA_MENU_PROGRAM VASK.EXE)
set(PELMORA_SETTINGS_FILE SUBST.INI)
set(PELMORA_SETTINGS_SECTION DISQUES)
set(PELMORA_SETTINGS_KEY Virtuel)
set(PELMORA_AUTORUN_FOLDER racineCD)
set(PELMORA_AUTORUN_PROGRAM Zolvex.exe)
set(PELMORA_ICON_FOLDER ico)
set(PELMORA_HELP_DOCUMENT Tavrin.htm)
set(PELMORA_PREREQUISITES_DOCUMENT PresRequis.pdf)
set(PELMORA_CD_SITE_DOCUMENT CD_Site.mht)
# In the converter's folder.
set(PELMORA_CONVERTER_HELP_DOCUMENT Strovan.mht)

# The name of a program file on the host: without its extension.
function(pelmora_host_program variable program)
    cmake_path(GET program STEM name)
    set(${variable} ${name} PARENT_SCOPE)
endfunction()
