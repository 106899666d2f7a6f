#!/usr/bin/env bash
# The run command's steps after the build, on a scratch copy of the programs
# with scratch data sources, lock and data directories (nothing of the
# user's is read or changed):
#   run_command_test.sh rules        when the first run leaves the history alone
#   run_command_test.sh no-display   first run without a display: two days of
#                                    history, then a picture of every tab
# Needs KELV_BIN_DIR (Kelvs, Kelvg; the driver in ../lib) and KELV_SOURCE_DIR.
set -euo pipefail

MODE=${1:?usage: $0 rules|no-display}
BIN=${KELV_BIN_DIR:?}
SCRIPTS=${KELV_SOURCE_DIR:?}/scripts
BUILD=$(cd "$BIN/.." && pwd)
PICTURES=21  # ten main tabs, nine memory pages, two operating-rate pages

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
expect_in() { grep -qF -- "$2" <<<"$1" || fail "output lacks \"$2\""; }

root=$(mktemp -d /tmp/kelv-run-test-XXXXXX)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/program" "$root/run" "$root/home"
chmod 700 "$root/run"
cp "$BIN/Kelvs" "$BIN/Kelvg" "$root/program/"
cp "$SCRIPTS/Kelv.ini.template" "$root/program/Kelv.ini"
export HOME="$root/home" ODBCINI="$root/odbc.ini" XDG_RUNTIME_DIR="$root/run" KELV_SIM_DATA="$root/sim"
unset DISPLAY WAYLAND_DISPLAY KELV_NO_HISTORY
"$SCRIPTS/register-dsn.sh" "$BUILD" "$ODBCINI" >/dev/null
data="$root/program/KLVDAT"

# Every file of a directory with its size and time, to see that nothing changed.
listing() { [ -d "$1" ] && find "$1" -type f -printf '%P %s %T@\n' | sort; true; }

first_run() { "$SCRIPTS/first-run.sh" "$root/program" 2>&1; }

rules() {
  local out before
  out=$(KELV_NO_HISTORY=1 first_run)
  expect_in "$out" "KELV_NO_HISTORY=1: no history filled"
  [ ! -e "$data" ] || fail "KELV_NO_HISTORY=1 made $data"

  # Another Oracle data source: its data directory must not get demo files.
  cp "$ODBCINI" "$root/odbc.ini.simulated"
  printf '\n[PRODUCTION]\nDriver = Oracle 19 ODBC driver\nServerName = //db:1521/PROD\n' >> "$ODBCINI"
  out=$(first_run)
  expect_in "$out" "Oracle data sources other than the simulated instance are registered (PRODUCTION)"
  [ ! -e "$data" ] || fail "a real Oracle data source's data directory got files"
  cp "$root/odbc.ini.simulated" "$ODBCINI"

  # Kelv.ini sends the viewer to another data directory.
  cp "$root/program/Kelv.ini" "$root/Kelv.ini.plain"
  printf 'DATPH=%s/elsewhere\r\n' "$root" >> "$root/program/Kelv.ini"
  out=$(first_run)
  expect_in "$out" "Kelv.ini names its own data directory"
  [ ! -e "$data" ] || fail "DATPH elsewhere, yet $data was made"
  cp "$root/Kelv.ini.plain" "$root/program/Kelv.ini"

  # A retention of one day keeps nothing before today.
  sed -i 's/^CMNKD=.*/CMNKD=1\r/' "$root/program/Kelv.ini"
  out=$(first_run)
  expect_in "$out" "keeps no day before today: no history filled"
  [ -z "$(listing "$data")" ] || fail "CMNKD=1, yet files were written"
  cp "$root/Kelv.ini.plain" "$root/program/Kelv.ini"

  # A collector already runs (it holds its lock): it keeps its own history.
  exec 9>"$root/run/Kelvg.lock"
  flock 9
  out=$(first_run 9>&-)
  flock -u 9
  exec 9>&-
  expect_in "$out" "a collector is running already"
  [ -z "$(listing "$data")" ] || fail "a running collector's data directory got files"

  # A collector that cannot log on: the fill says so and leaves no files.
  if out=$("$SCRIPTS/fill-history.sh" "$root/program" NO_SUCH_DSN 2>&1); then
    fail "a fill without a logon succeeded"
  fi
  expect_in "$out" "the collector ended early"
  [ -z "$(listing "$data")" ] || fail "a failed fill left files"

  # A data directory that holds anything is never touched.
  mkdir -p "$data"
  echo x > "$data/MU20000101.dat"
  before=$(listing "$data")
  out=$(first_run)
  [ "$(listing "$data")" = "$before" ] || fail "a data directory with files was changed"
  [ -z "$out" ] || fail "a later run says: $out"
}

no_display() {
  local out ini_before days d f count
  ini_before=$(md5sum < "$root/program/Kelv.ini")
  out=$( { first_run; KELV_PICTURES_DIR="$root/pictures" "$SCRIPTS/open-viewer.sh" "$root/program" 2>&1; } ) ||
    fail "the run ended with status $?"
  echo "$out"
  expect_in "$out" "of 48 hours written"
  expect_in "$out" "No display was found"
  expect_in "$out" "The pictures of every tab are in $root/pictures"

  # The two days before today, hour by hour; nothing of the day before them.
  for d in 2 1; do
    days="$(date -d "$(date +%F) -$d days" +%Y%m%d)"
    for f in MU OR; do
      count=$(grep -c . "$data/$f$days.dat" 2>/dev/null || true)
      [ "$count" = 24 ] || fail "$f$days.dat holds ${count:-no} lines, not 24"
    done
    [ -s "$data/ML$days.dat" ] || fail "no latch totals for $days"
  done
  days=$(date -d "$(date +%F) -3 days" +%Y%m%d)
  [ ! -e "$data/MU$days.dat" ] || fail "the day before the history kept MU$days.dat"
  [ "$(md5sum < "$root/program/Kelv.ini")" = "$ini_before" ] || fail "Kelv.ini changed"

  # A picture of every tab, each the viewer's window.
  count=$(find "$root/pictures" -name '*.png' | wc -l)
  [ "$count" = "$PICTURES" ] || fail "$count pictures, not $PICTURES"
  for f in "$root"/pictures/*.png; do
    [ "$(identify -format '%w' "$f")" -ge 600 ] || fail "$(basename "$f") is not a window"
  done

  # Nothing it started is left running.
  for p in /proc/[0-9]*; do
    case "$(readlink "$p/exe" 2>/dev/null)" in "$root"/*) fail "left running: $(tr '\0' ' ' < "$p/cmdline")" ;; esac
  done

  # The next run leaves the history alone.
  local before
  before=$(listing "$data")
  out=$(first_run)
  [ "$(listing "$data")" = "$before" ] || fail "the second run changed the history"
}

case "$MODE" in
  rules) rules ;;
  no-display) no_display ;;
  *) echo "unknown mode $MODE" >&2; exit 2 ;;
esac
echo "run command ($MODE): $failures failed"
[ "$failures" -eq 0 ]
