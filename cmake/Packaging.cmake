# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: cpack -G DEB in a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr (scripts/package.sh does it all).
set(CPACK_PACKAGE_NAME pelmora)
set(CPACK_PACKAGE_VENDOR "Orvane")
set(CPACK_PACKAGE_CONTACT "Orvane <contact@orvane.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "French suite to build web pages and a CD/DVD site")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_PACKAGE_NAME pelmora)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Documents and web addresses open through the desktop's opener; Qt's own
# texts (standard dialogs) come in French with its translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The summary above is the synopsis; this is the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Pelmora is a French-language desktop suite for home users who build
multimedia web pages and a web site to burn on a CD or DVD.

The launcher (pelmora) is the suite's menu: it starts the suite's tools,
opens its help, and prepares the root of a virtual disk with Autorun.inf,
the disc's autorun program and an icon, so that the burnt disc opens the
site by itself.

The converter (strovan) renames the folders and .MOD clips written by a
JVC camcorder to plain .MPG files and deletes the camera's index files.
Before that, each clip takes back its recording date from its index, and
a clip filmed in 16:9 is marked as such. It asks before renaming folders
that no camcorder wrote, shows its progress with an \"Annuler\" button
that stops without losing anything, and ends with a report.

The programs see folders as Windows drives through a drive table of
symbolic links; removable media get drive letters of their own.")

include(CPack)
