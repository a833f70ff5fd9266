#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the launcher from the installed suite folder: it takes its working
# folder as the suite folder.
suite="$(dirname "$(readlink -f "$0")")/../lib/pelmora"
cd "$suite" || exit 1
exec -a pelmora ./Pelmora "$@"
