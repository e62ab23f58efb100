#!/bin/sh
# The commands without a window map no library of Qt Widgets or Gui, nor what those pull in (X11,
# xcb, OpenGL), nor one of D-Bus (the notification speaks it itself): the window comes with a
# module of its own, which does. What the dynamic loader
# maps, at start and later (a plugin, a module), is what it reports with LD_DEBUG=files.
#   test_command_links.sh <program> <window module>
set -eu
program=$1
module=$2
gui='libQt6(Widgets|Gui|OpenGL|XcbQpa|DBus)|libdbus-1|libX11|libxcb|libGL|libEGL'
ldd "$module" | grep -Eq 'libQt6Widgets' || { echo "$module maps no Qt Widgets"; exit 1; }
[ "$(dirname "$module")" = "$(dirname "$program")" ] || { echo "$module is not beside $program"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
status=0
# The service's address is one on this machine where nothing listens: the check ends at its probe.
for command in --help --list '--list --csv' '--check --quiet'; do
  rm -f "$work"/loaded.*
  # shellcheck disable=SC2086 # the command's words
  LD_DEBUG=files LD_DEBUG_OUTPUT="$work/loaded" KURIERIX_SERVICE_URL=http://127.0.0.1:9/ \
    KURIERIX_PROBE=127.0.0.1:9 "$program" $command >/dev/null 2>&1 || true
  cat "$work"/loaded.* >"$work/all"
  grep -q 'libQt6Core' "$work/all" || { echo "kurierix $command: the loader reported nothing"; status=1; }
  if grep -E "file=[^ ]*($gui)" "$work/all"; then
    echo "kurierix $command maps a library of the window"
    status=1
  fi
done
exit $status
