#!/bin/sh
# debian/ against the rest of the tree, in seconds (the package build itself is scripts/package's):
# control's build dependencies are the packages scripts/setup installs for a build, the
# changelog's version is the program's, and every file an install under /usr makes goes into one
# of the two packages or is named as left out, while every line of an .install file finds a file.
#   test_debian.sh <source folder> <build folder>
set -eu
source=$1
build=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0

# Build-Depends of the source paragraph, one name a line, without versions, architectures and
# profiles; debhelper-compat is debhelper, which scripts/setup --package installs.
awk '/^$/ { exit } /^Build-Depends:/ { on = 1; sub(/^Build-Depends:/, ""); print; next }
     on && /^[ \t]/ { print; next } { on = 0 }' "$source/debian/control" \
  | tr ',' '\n' | sed 's/([^)]*)//g; s/\[[^]]*\]//g; s/<[^>]*>//g; s/[ \t]//g' \
  | grep -v -e '^$' -e '^debhelper-compat$' | sort >"$tmp/control"
sed -n '/^build_packages=(/,/^)/p' "$source/scripts/setup" | sed '1d;$d' | tr ' ' '\n' \
  | grep -v '^$' | sort >"$tmp/setup"
[ -s "$tmp/control" ] || { echo "no Build-Depends in debian/control"; failed=1; }
if ! diff "$tmp/setup" "$tmp/control" >"$tmp/diff"; then
  echo "scripts/setup's build_packages (<) and debian/control's Build-Depends (>) differ:"
  cat "$tmp/diff"; failed=1
fi
grep -q 'debhelper' "$source/scripts/setup" || { echo "scripts/setup --package installs no debhelper"; failed=1; }

changelog=$(sed -n '1s/^kurierix (\([^)]*\)).*/\1/p' "$source/debian/changelog")
program=$(sed -n 's/^project(kurierix VERSION \([^ ]*\) .*/\1/p' "$source/CMakeLists.txt")
[ -n "$program" ] && [ "$changelog" = "$program" ] \
  || { echo "debian/changelog says version '$changelog', CMakeLists.txt '$program'"; failed=1; }

DESTDIR="$tmp/root" cmake --install "$build" --prefix /usr >/dev/null
(cd "$tmp/root" && find . ! -type d | sed 's|^\./||' | sort) >"$tmp/installed"
grep -hv -e '^#' -e '^$' "$source/debian/kurierix.install" "$source/debian/kurierix-browser.install" \
  | awk '{ print $1 }' >"$tmp/patterns"
grep -hv -e '^#' -e '^$' "$source/debian/not-installed" >>"$tmp/patterns"
# The package's build names the multiarch library folder (usr/lib/<triplet>), a build made for
# another prefix none (usr/lib): the patterns' usr/lib/*/ matches both.
sed -i 's|^usr/lib/\*/|usr/lib/*|' "$tmp/patterns"
while read -r file; do
  placed=0
  while read -r pattern; do
    # shellcheck disable=SC2254 # the patterns are globs, as debhelper reads them
    case $file in $pattern | $pattern/*) placed=1; break ;; esac
  done <"$tmp/patterns"
  [ "$placed" -eq 1 ] || { echo "installed, but in no package and not in debian/not-installed: $file"; failed=1; }
done <"$tmp/installed"
while read -r pattern; do
  found=0
  while read -r file; do
    # shellcheck disable=SC2254
    case $file in $pattern | $pattern/*) found=1; break ;; esac
  done <"$tmp/installed"
  [ "$found" -eq 1 ] || { echo "debian/ names $pattern, which the install does not make"; failed=1; }
done <"$tmp/patterns"

[ "$failed" -eq 0 ] || exit 1
echo "debian/ verified"
