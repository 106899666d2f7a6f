#!/usr/bin/env bash
# The Debian package as a user meets it, never installed on this machine:
#  - cpack builds it from this build tree and lintian finds no error in it;
#  - it declares its libraries and holds the programs side by side with
#    their private libraries, found through RUNPATH $ORIGIN;
#  - unpacked into a scratch root, run by a user without root (nobody, when
#    the tests run as root) whose program directory cannot be written: the
#    viewer logs in to the simulated instance on a virtual X server and
#    starts the collector beside it; the settings come from the installed
#    template into ~/.config/kelv, the data go to ~/.local/share/kelv;
#  - the systemd unit's command collects without a display and ends on SIGTERM.
# Needs KELV_BIN_DIR (the build's bin directory). KELV_PACKAGE_SCREENSHOT
# names a file for a picture of the running viewer.
set -euo pipefail

BUILD=$(cd "${KELV_BIN_DIR:?}/.." && pwd)
SCREEN=1280x1024x24
START_TIMEOUT=60
STOP_TIMEOUT=30
DSN=KELV_PKG
PROGRAMS=usr/lib/kelv
UNIT_COMMAND="ExecStart=/usr/lib/kelv/Kelvg --headless --autostart"

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
step() { printf '\n==> %s\n' "$*"; }

work=$(mktemp -d /tmp/kelv-package-test-XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in $(programs_of "Kelvs") $(programs_of "Kelvg"); do kill -KILL "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Process ids of a program of the scratch root (none of anybody else's).
programs_of() {
  local exe=$work/root/$PROGRAMS/$1 proc
  for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/exe" 2>/dev/null)" = "$exe" ] && echo "${proc#/proc/}"
  done
  return 0
}
# Polls a command until it succeeds, at most $1 seconds.
wait_for() {
  local seconds=$1; shift
  local end=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.2
  done
}
gone() { [ -z "$(programs_of "$1")" ]; }

step "Building the package with cpack"
if ! cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$work/cpack" \
    -D CPACK_OUTPUT_FILE_PREFIX="$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi
deb=$(echo "$work"/out/kelv_*_amd64.deb)
[ -f "$deb" ] || { echo "no package in $work/out"; exit 1; }
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

step "lintian"
set +e
lintian --tag-display-limit 0 --fail-on error "$deb" >"$work/lintian.log" 2>&1
status=$?
set -e
grep -v 'running with root privileges' "$work/lintian.log" || echo "no findings"
[ "$status" -eq 0 ] || fail "lintian reports errors (status $status)"

step "Contents and dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libodbc2 libodbcinst2 libqt6widgets6 libqt6charts6 libsqlite3-0 libyaml-cpp0.7; do
  grep -q "\\b$lib\\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
root=$work/root
dpkg-deb -x "$deb" "$root"
for f in $PROGRAMS/Kelvs $PROGRAMS/Kelvg $PROGRAMS/kelv_exporter $PROGRAMS/libKelvQueryODBC.so \
    $PROGRAMS/libVeskSysInfDLL.so $PROGRAMS/libKelvSimOracle.so usr/share/kelv/Kelv.ini.template \
    usr/share/kelv/prometheus/kelv_rules.yml usr/share/applications/kelvs.desktop \
    usr/share/icons/hicolor/scalable/apps/kelv.svg etc/xdg/autostart/kelvg.desktop \
    usr/lib/systemd/user/kelvg.service usr/share/doc/kelv/copyright usr/share/man/man1/Kelvg.1.gz; do
  [ -f "$root/$f" ] || fail "missing $f"
done
for p in Kelvs Kelvg kelv_exporter; do
  [ "$(readlink "$root/usr/bin/$p")" = "../lib/kelv/$p" ] || fail "usr/bin/$p is not a link to ../lib/kelv/$p"
  runpath=$(readelf -d "$root/$PROGRAMS/$p" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  [ "$runpath" = '$ORIGIN' ] || fail "$p has RUNPATH '$runpath', not \$ORIGIN"
  libraries=$(ldd "$root/$PROGRAMS/$p")
  ! grep 'not found' <<<"$libraries" || fail "$p lacks libraries"
  grep -q "libKelvQueryODBC.so => $root/$PROGRAMS/" <<<"$libraries" || fail "$p does not load the query component beside it"
done
grep -qx "$UNIT_COMMAND" "$root/usr/lib/systemd/user/kelvg.service" || fail "the unit does not run: $UNIT_COMMAND"
grep -qx 'Exec=Kelvg --autostart' "$root/etc/xdg/autostart/kelvg.desktop" || fail "the autostart entry does not run Kelvg --autostart"

# A user without root whose program directory cannot be written.
home=$work/home
mkdir -p "$home" "$work/run" "$work/sim"
chmod 700 "$work/run"
if [ "$(id -u)" -eq 0 ]; then
  chown nobody:nogroup "$home" "$work/run" "$work/sim"
  as_user() { runuser -u nobody -- "$@"; }
  who=nobody
else
  chmod -R a-w "$root/$PROGRAMS"
  as_user() { "$@"; }
  who=$(id -un)
fi
[ ! -w "$root/$PROGRAMS" ] || [ "$(id -u)" -eq 0 ] || fail "the program directory can be written"
cat >"$work/odbc.ini" <<EOF
[$DSN]
Description = Kelv simulated Oracle instance of the installed package
Driver      = $root/$PROGRAMS/libKelvSimOracle.so
Database    = $work/sim/pkg.db
Version     = 10
EOF
user_env=(env -i "HOME=$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "ODBCINI=$work/odbc.ini"
  "XDG_RUNTIME_DIR=$work/run")
listing_before=$(find "$root/$PROGRAMS" -printf '%P %s %T@\n' | sort)

step "The installed viewer as $who, on a virtual X server"
Xvfb -displayfd 3 -screen 0 "$SCREEN" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 10 test -s "$work/display" || { cat "$work/xvfb.log"; exit 1; }
display=":$(head -n 1 "$work/display")"
as_user "${user_env[@]}" "DISPLAY=$display" QT_QPA_PLATFORM=xcb \
  sh -c 'cd "$HOME" && exec "$0" system/manager' "$root/usr/bin/Kelvs" >"$work/viewer.log" 2>&1 &
pids+=($!)
if ! win=$(DISPLAY=$display timeout "$START_TIMEOUT" xdotool search --sync --name '^Kelvane$' | head -n 1); then
  cat "$work/viewer.log"
  exit 1
fi
settings=$home/.config/kelv/Kelv.ini
data=$home/.local/share/kelv/KLVDAT
wait_for "$START_TIMEOUT" test -n "$(programs_of Kelvg)" || fail "no collector started"
wait_for "$START_TIMEOUT" test -f "$data/ChkeckPoint.dat" || fail "the collector wrote nothing into $data"
cmp -s "$settings" "$root/usr/share/kelv/Kelv.ini.template" || fail "$settings is not the installed template"
collector=$(programs_of Kelvg | head -n 1)
if [ -n "$collector" ]; then
  [ "$(stat -c %U "/proc/$collector")" = "$who" ] || fail "the collector runs as $(stat -c %U "/proc/$collector")"
  [ "$(readlink "/proc/$collector/cwd")" = "$root/$PROGRAMS" ] || fail "the collector's directory is $(readlink "/proc/$collector/cwd")"
fi
[ "$(stat -c %a "$home/.config/kelv")" = 700 ] || fail "$home/.config/kelv is not private"
if [ -n "${KELV_PACKAGE_SCREENSHOT:-}" ]; then
  DISPLAY=$display import -window root "$KELV_PACKAGE_SCREENSHOT"
  echo "picture: $KELV_PACKAGE_SCREENSHOT"
fi
for p in $(programs_of Kelvg); do kill -TERM "$p"; done
wait_for "$STOP_TIMEOUT" gone Kelvg || fail "the collector did not end on SIGTERM"
# A confirmed exit (F3, then yes) writes the data directory into the user's settings.
DISPLAY=$display xdotool keydown --window "$win" F3
question() {
  box=$(DISPLAY=$display xdotool search --onlyvisible --name '^Kelvane$' | grep -vx "$win" | head -n 1)
  [ -n "$box" ]
}
wait_for "$STOP_TIMEOUT" question || fail "no question after F3"
[ -z "${box:-}" ] || DISPLAY=$display xdotool keydown --window "$box" y
wait_for "$STOP_TIMEOUT" gone Kelvs || fail "the viewer did not end after F3 and yes"
grep -q "^DATPH=$data" "$settings" || fail "the viewer did not keep its data directory in $settings: $(cat "$settings")"
echo "settings $settings, data: $(ls "$data" | tr '\n' ' ')"

step "The autostart entry's command for a user who has not set the collector up"
fresh=$work/fresh
mkdir -p "$fresh"
[ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$fresh"
set +e
as_user env -i "HOME=$fresh" PATH=/usr/bin:/bin "XDG_RUNTIME_DIR=$work/run" "$root/$PROGRAMS/Kelvg" --autostart \
  </dev/null >"$work/autostart.out" 2>&1
status=$?
set -e
[ "$status" -eq 0 ] || fail "Kelvg --autostart without a configuration ended with status $status"
[ -z "$(ls -A "$fresh")" ] || fail "Kelvg --autostart made files for a user without a configuration: $(ls -A "$fresh")"
[ ! -s "$work/autostart.out" ] || fail "Kelvg --autostart said: $(cat "$work/autostart.out")"

step "The systemd unit's command, without a display"
printf 'DSN=%s\nUSER=system\n' "$DSN" >"$home/.config/kelv/kelvg.conf"
printf 'manager\n' >"$home/.config/kelv/kelvg.password"
chmod 600 "$home/.config/kelv/kelvg.password"
[ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$home/.config/kelv/kelvg.conf" "$home/.config/kelv/kelvg.password"
as_user "${user_env[@]}" "$root/$PROGRAMS/Kelvg" --headless --autostart </dev/null >"$work/headless.out" 2>&1 &
headless=$!
wait_for "$START_TIMEOUT" grep -q "collecting from $DSN as system" "$work/headless.out" || fail "headless: $(cat "$work/headless.out")"
for p in $(programs_of Kelvg); do kill -TERM "$p"; done
set +e
wait "$headless"
status=$?
set -e
[ "$status" -eq 0 ] || fail "the headless collector ended with status $status on SIGTERM"
grep -q "stopped" "$work/headless.out" || fail "headless: $(cat "$work/headless.out")"
cat "$work/headless.out"

step "Nothing written beside the programs"
[ "$listing_before" = "$(find "$root/$PROGRAMS" -printf '%P %s %T@\n' | sort)" ] || fail "$root/$PROGRAMS changed"
[ ! -e "$home/Kelv.ini" ] && [ ! -e "$home/KLVDAT" ] || fail "files in the current directory"
logs=$(cat "$home"/.local/share/kelv/KVErr*.LOG 2>/dev/null || true)
[ -z "$logs" ] || echo "error log: $logs"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package checks passed"
