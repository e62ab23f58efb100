#!/bin/sh
# The background timer switched through a real `systemd --user`: the user manager of a throwaway
# user (nobody, with a home folder in a temporary folder), started for this test alone, with the
# units installed under that user's ~/.local as `cmake --install --prefix ~/.local` puts them. The
# test binary then runs as that user against the manager's session bus.
#   test_real_user_manager.sh <build folder> <schedule_user_manager binary>
# A machine where no such manager can be started (not root, no systemd, no cgroup of its own to
# give it) skips the test and says why. On a machine not booted with systemd the manager is shown
# a /run/systemd/system of a private mount namespace, so that nothing outside the test sees it.
set -eu
build=$1
binary=$2
skip() { echo "skipped: $*"; exit 77; }

[ "$(id -u)" -eq 0 ] || skip "only root can start a user manager for a throwaway user (one's own manager is left alone)"
for tool in unshare runuser dbus-daemon busctl; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is missing (scripts/setup installs it)"
done
[ -x /lib/systemd/systemd ] || skip "/lib/systemd/systemd is missing (package systemd)"
user=nobody
id "$user" >/dev/null 2>&1 || skip "there is no user $user"

tmp=$(mktemp -d)
chmod 755 "$tmp"
mkdir -m 700 "$tmp/run"
mkdir "$tmp/home"
cmake --install "$build" --prefix "$tmp/home/.local" >/dev/null
chown -R "$user" "$tmp/run" "$tmp/home"

# The manager wants a cgroup it may write to: one of its own under each hierarchy it uses. Every
# process of the test's user lives in them, so that all of them go at the end.
cgroups=
for hierarchy in /sys/fs/cgroup/unified /sys/fs/cgroup/systemd /sys/fs/cgroup; do
  [ -f "$hierarchy/cgroup.procs" ] || continue
  group="$hierarchy/kurierix-test-$$"
  mkdir "$group" 2>/dev/null && chown -R "$user" "$group" && cgroups="$cgroups $group"
done
members() { for group in $cgroups; do find "$group" -name cgroup.procs -exec cat {} + 2>/dev/null; done | sort -u; }
cleanup() {
  for signal in TERM KILL; do
    pids=$(members)
    [ -z "$pids" ] || kill -s "$signal" $pids 2>/dev/null || true
    tries=0
    while [ -n "$(members)" ] && [ $tries -lt 50 ]; do tries=$((tries + 1)); sleep 0.1; done
  done
  for group in $cgroups; do find "$group" -depth -type d -exec rmdir {} + 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT
[ -n "$cgroups" ] || skip "no cgroup can be made for the user manager"

cat >"$tmp/inside.sh" <<INSIDE
set -eu
if [ ! -d /run/systemd/system ]; then
  mkdir -p /run/systemd
  mount -t tmpfs tmpfs /run/systemd
  mkdir /run/systemd/system
fi
for group in $cgroups; do echo \$\$ >"\$group/cgroup.procs"; done
as_user() {
  runuser -u $user -- env -i PATH=/usr/bin:/bin HOME=$tmp/home XDG_RUNTIME_DIR=$tmp/run \\
    DBUS_SESSION_BUS_ADDRESS=unix:path=$tmp/run/bus LC_ALL=C.UTF-8 TZ=UTC "\$@"
}
# Where the manager has no bus of its own (no dbus.socket among its units), it is given one.
if [ ! -f /usr/lib/systemd/user/dbus.socket ]; then
  as_user dbus-daemon --session --address=unix:path=$tmp/run/bus --nofork &
  until [ -S $tmp/run/bus ]; do sleep 0.1; done
fi
as_user /lib/systemd/systemd --user >$tmp/manager.log 2>&1 &
# Ready once it answers on the session bus.
tries=0
until as_user busctl --user call org.freedesktop.systemd1 /org/freedesktop/systemd1 \\
    org.freedesktop.systemd1.Manager GetUnitFileState s kurierix-check.timer >/dev/null 2>&1; do
  tries=\$((tries + 1))
  [ \$tries -lt 150 ] || { echo "the user manager did not answer:"; cat $tmp/manager.log; exit 1; }
  sleep 0.1
done
as_user env KURIERIX_REAL_USER_MANAGER=1 $binary --gtest_filter='RealUserManager.*'
INSIDE
unshare --mount --propagation private sh "$tmp/inside.sh"
