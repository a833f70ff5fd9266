#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the converter from its own folder in the installed suite: the folder
# above it is the suite folder, where its "Menu" button finds the menu.
suite="$(dirname "$(readlink -f "$0")")/../lib/pelmora"
cd "$suite/Strovan.2005" || exit 1
exec -a strovan ./Strovan "$@"
