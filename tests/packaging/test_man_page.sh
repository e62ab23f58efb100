#!/bin/sh
# The manual pages, in English (docs/kurierix.1) and in Russian (docs/kurierix.ru.1), render
# without a warning from groff and document every option and every exit status that
# `kurierix --help` names; the English page's name line reads in any locale.
#   test_man_page.sh <source folder> <kurierix>
set -eu
docs=$1/docs
program=$2
if ! command -v groff >/dev/null 2>&1 || ! command -v preconv >/dev/null 2>&1; then
  echo "groff is missing (scripts/setup installs package groff-base): skipped"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$program" --help >"$tmp/help"
options=$(grep -o -- '--[a-z][a-z-]*' "$tmp/help" | sort -u)
statuses=$(sed -n '/^Коды завершения:/,$s/^ *\([0-9][0-9]*\) .*/\1/p' "$tmp/help")
[ -n "$statuses" ] || { echo "no exit statuses in --help"; exit 1; }

failed=0
# <page> <title of its exit status section>
check_page() {
  page=$docs/$1
  # -k reads the UTF-8 source, -ww turns every warning on.
  if ! groff -k -man -Tutf8 -ww -z "$page" >"$tmp/groff" 2>&1 || [ -s "$tmp/groff" ]; then
    echo "groff on $1:"; cat "$tmp/groff"; failed=1
  fi
  for option in $options; do
    escaped=$(printf '%s' "$option" | sed 's/-/\\\\-/g')
    grep -q -- "$escaped" "$page" || { echo "$1 does not document $option"; failed=1; }
  done
  sed -n "/^\.SH \"$2\"/,/^\.SH /p" "$page" >"$tmp/section"
  [ -s "$tmp/section" ] || { echo "$1 has no section \"$2\""; failed=1; }
  for status in $statuses; do
    grep -qx "\.B $status" "$tmp/section" || { echo "$1 does not document exit status $status"; failed=1; }
  done
}
check_page kurierix.1 "EXIT STATUS"
check_page kurierix.ru.1 "КОДЫ ЗАВЕРШЕНИЯ"

# man and whatis take the name line from the section NAME: under a C locale a line in Cyrillic
# reads as blanks.
name=$(sed -n '/^\.SH NAME$/{n;p;q}' "$docs/kurierix.1")
if ! printf '%s\n' "$name" | LC_ALL=C grep -qx 'kurierix, kurierix\\-launcher \\- [ -~]*[a-z][ -~]*'; then
  echo "the English page's name line is not \"kurierix, kurierix\\-launcher \\- <English words>\": $name"
  failed=1
fi
[ "$failed" -eq 0 ] || exit 1
echo "manual pages verified"
