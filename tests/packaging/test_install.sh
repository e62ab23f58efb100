#!/bin/sh
# The install. The background check's systemd user units, installed into a fresh ~/.local-style
# prefix, land where the user manager looks for them, pass systemd's own check (which also wants
# the launcher the service starts to exist where the service says), fire every 6 hours, and are
# installed without being switched on; under /usr they land where Debian keeps user units. The
# launcher makes the data folder for its user alone whatever the umask, and leaves one it finds.
#   test_install.sh <build folder>
set -eu
build=$1
# The calendar is read in local time; in UTC no clock change stretches an interval.
export TZ=UTC
if ! command -v systemd-analyze >/dev/null 2>&1; then
  echo "systemd-analyze is missing (scripts/setup installs package systemd): skipped"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# --user wants a runtime folder, which a root shell without a login session does not have, and
# reads the home folder from $HOME: the user manager of a user whose home is $tmp/home.
mkdir -m 700 "$tmp/run"
user_env() {
  env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_DATA_DIRS -u XDG_CONFIG_DIRS \
    HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" "$@"
}
prefix="$tmp/home/.local"
cmake --install "$build" --prefix "$prefix" >/dev/null
units="$prefix/share/systemd/user"
[ -f "$units/kurierix-check.service" ] && [ -f "$units/kurierix-check.timer" ] \
  || { echo "no units in $units:"; find "$prefix" -name 'kurierix-check.*'; exit 1; }
user_env systemd-analyze --user unit-paths | grep -qx "$units" \
  || { echo "systemd --user does not look in $units"; exit 1; }

# A misspelt key or a value that does not parse is only a warning, so any output fails.
if ! user_env systemd-analyze verify --user --man=no \
    "$units/kurierix-check.service" "$units/kurierix-check.timer" >"$tmp/verify" 2>&1 || [ -s "$tmp/verify" ]; then
  echo "systemd-analyze verify:"; cat "$tmp/verify"; exit 1
fi

grep -qx "ExecStart=$prefix/bin/kurierix-launcher --check --quiet" "$units/kurierix-check.service" \
  || { echo "the service does not start the installed launcher with --check --quiet"; exit 1; }
grep -qx 'Persistent=true' "$units/kurierix-check.timer" || { echo "the timer is not persistent"; exit 1; }
grep -q '^RandomizedDelaySec=' "$units/kurierix-check.timer" || { echo "the timer has no randomized delay"; exit 1; }

# Three successive elapses of the timer's calendar, 6 hours apart.
calendar=$(sed -n 's/^OnCalendar=//p' "$units/kurierix-check.timer")
systemd-analyze calendar --iterations=3 "$calendar" | sed -n 's/^ *\(Next elapse\|Iter\. #[0-9]*\): //p' >"$tmp/elapses"
[ "$(wc -l <"$tmp/elapses")" -eq 3 ] || { echo "no elapses for OnCalendar=$calendar"; exit 1; }
previous=
while read -r when; do
  now=$(date -d "$when" +%s)
  if [ -n "$previous" ] && [ $((now - previous)) -ne 21600 ]; then
    echo "OnCalendar=$calendar does not fire every 6 hours"; cat "$tmp/elapses"; exit 1
  fi
  previous=$now
done <"$tmp/elapses"

if find "$prefix" -name '*.wants' | grep -q .; then
  echo "the install enables a unit:"; find "$prefix" -name '*.wants'; exit 1
fi

data="$tmp/home/data/kurierix"
(umask 0 && user_env XDG_DATA_HOME="$tmp/home/data" "$prefix/bin/kurierix-launcher" --help >/dev/null) \
  || { echo "kurierix-launcher --help failed"; exit 1; }
[ "$(stat -c %a "$data")" = 700 ] || { echo "the launcher made $data with mode $(stat -c %a "$data")"; exit 1; }
chmod 755 "$data"
user_env XDG_DATA_HOME="$tmp/home/data" "$prefix/bin/kurierix-launcher" --help >/dev/null
[ "$(stat -c %a "$data")" = 755 ] || { echo "the launcher changed the mode of the folder it found"; exit 1; }

DESTDIR="$tmp/root" cmake --install "$build" --prefix /usr >/dev/null
[ -f "$tmp/root/usr/lib/systemd/user/kurierix-check.timer" ] && [ ! -e "$tmp/root/usr/share/systemd" ] \
  || { echo "under /usr the units are not in lib/systemd/user:"; find "$tmp/root" -name 'kurierix-check.*'; exit 1; }
echo "install verified"
