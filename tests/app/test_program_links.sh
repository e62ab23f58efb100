#!/bin/sh
# The browser engine comes with its module alone: the program (and the benchmark harnesses that
# start it as it starts) map no library of Qt WebEngine or of what it pulls in (Qt Quick, QML,
# WebChannel), and the module, which lies beside the program, does. Nor does the program map Qt
# Network, whose libraries (Kerberos, proxy lookup) cost every start a few milliseconds: until the
# engine comes, the program reaches the network through plain sockets only.
#   test_program_links.sh <module> <program>...
set -eu
module=$1
shift
engine='libQt6(WebEngine|Quick|Qml|WebChannel)'
ldd "$module" | grep -Eq "$engine" || { echo "$module maps no browser engine"; exit 1; }
status=0
for program in "$@"; do
  # ldd lists what the dynamic loader maps at start, indirect libraries included.
  if ldd "$program" | grep -E "$engine"; then
    echo "$program maps the browser engine at start"
    status=1
  fi
  if [ "$(basename "$program")" = kurierix ] && ldd "$program" | grep -E 'libQt6Network'; then
    echo "$program maps Qt Network at start"
    status=1
  fi
done
[ "$(dirname "$module")" = "$(dirname "$1")" ] || { echo "$module is not beside $1"; status=1; }
exit $status
