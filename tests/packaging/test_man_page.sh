#!/bin/sh
# The manual page renders without a warning from groff, and documents every option and every
# exit status that `kurierix --help` names.
#   test_man_page.sh <source folder> <kurierix>
set -eu
page=$1/docs/kurierix.1
program=$2
if ! command -v groff >/dev/null 2>&1 || ! command -v preconv >/dev/null 2>&1; then
  echo "groff is missing (scripts/setup installs package groff-base): skipped"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# -k reads the UTF-8 source, -ww turns every warning on.
if ! groff -k -man -Tutf8 -ww -z "$page" >"$tmp/groff" 2>&1 || [ -s "$tmp/groff" ]; then
  echo "groff:"; cat "$tmp/groff"; exit 1
fi

"$program" --help >"$tmp/help"
failed=0
for option in $(grep -o -- '--[a-z][a-z-]*' "$tmp/help" | sort -u); do
  escaped=$(printf '%s' "$option" | sed 's/-/\\\\-/g')
  grep -q -- "$escaped" "$page" || { echo "the page does not document $option"; failed=1; }
done
statuses=$(sed -n '/^Коды завершения:/,$s/^ *\([0-9][0-9]*\) .*/\1/p' "$tmp/help")
[ -n "$statuses" ] || { echo "no exit statuses in --help"; exit 1; }
sed -n '/^\.SH "КОДЫ ЗАВЕРШЕНИЯ"/,/^\.SH /p' "$page" >"$tmp/section"
for status in $statuses; do
  grep -qx "\.B $status" "$tmp/section" || { echo "the page does not document exit status $status"; failed=1; }
done
[ "$failed" -eq 0 ] || exit 1
echo "manual page verified"
