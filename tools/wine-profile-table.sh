#!/usr/bin/env bash
# Asks Wine's GetPrivateProfileStringW (an independent implementation of the
# Windows profile reader) every query of the corpus of tricky INI files, and
# writes its answers as the table the platform tests check the suite's reader
# against. The tests themselves never need Wine.
#
#   tools/wine-profile-table.sh
#
# Corpus, queries and table: tests/platform/ini-corpus/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
corpus="$repo/tests/platform/ini-corpus"
. "$here/wine-common.sh"

wine_install
wine_find
work=$(mktemp -d)
trap 'wine_cleanup "$work"' EXIT
x86_64-w64-mingw32-gcc -std=c11 -O2 -s -static -municode -Wall -Wextra -Wpedantic -Werror \
    -o "$work/profile-query.exe" "$here/profile-query.c"
wine_prefix "$work"

# Windows-1252 is the ANSI code page of a French or English Windows.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
wine_run "$work/profile-query.exe" "$(wine_path "$corpus/queries.tsv")" \
    "$(wine_path "$corpus")" "$(wine_path "$work")\\answers.tsv"

table="$corpus/wine-table.tsv"
{
    echo "# Answers of $("$WINE" --version) (GetPrivateProfileStringW), written by"
    echo "# tools/wine-profile-table.sh: file, section, key, then \"-\" when the default"
    echo "# came back, or \"=\" and the value. Escapes: \\\\ \\t \\n \\r \\xNN \\uNNNN."
    tr -d '\r' <"$work/answers.tsv"
} >"$table"
rows=$(grep -vc '^#' "$table")
queries=$(grep -vc '^#' "$corpus/queries.tsv")
files=$(find "$corpus" -name '*.in[if]' | wc -l)
echo "$files fichiers, $queries requêtes, $rows réponses de Wine dans $table"
[ "$rows" -eq "$queries" ]
