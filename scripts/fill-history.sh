#!/usr/bin/env bash
# Fills the statistics files of the days before today for a simulated
# instance, with the real collector under an accelerated clock, so that the
# memory and operating-rate tabs have history to chart from the first start.
#
# Usage: fill-history.sh PROGRAM_DIR DSN [DAYS]
#   PROGRAM_DIR  the directory of Kelvg; its KLVDAT receives the files and
#                its Kelv.ini gives the retention (CMNKD)
#   DSN          a data source of the simulated instance (user system/manager)
#   DAYS         days before today to fill, default 2; never more than the
#                retention keeps
#
# It refuses a data directory that already holds files and does nothing
# while another collector runs. The collector runs in PROGRAM_DIR (its error
# log goes there, as always) with settings of its own: the sampling
# intervals are one minute, the retention is the one of Kelv.ini.
# KELV_HISTORY_SPEED sets how many times faster than real time the clock
# runs (default 2400: two days in about 75 seconds); KELV_HISTORY_TODAY
# (YYYY-MM-DD) fills the days before another day than today.
set -euo pipefail

SCRIPTS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/kelv-common.sh
. "$SCRIPTS/kelv-common.sh"

[ $# -ge 2 ] || { echo "usage: $0 PROGRAM_DIR DSN [DAYS]" >&2; exit 2; }
PROGRAM_DIR=$(cd "$1" && pwd)
DSN=$2
DAYS=${3:-2}
SPEED=${KELV_HISTORY_SPEED:-2400}
DATA="$PROGRAM_DIR/KLVDAT"
COLLECTOR="$PROGRAM_DIR/Kelvg"
SECONDS_PER_DAY=86400
HOURS_PER_DAY=24
POLL_SECONDS=0.5
# The collector starts this long before the first day, so that its first
# reading, after it has logged on, falls before that day begins. The
# hours it then writes for the day before go with the retention below.
LEAD_SECONDS=$((3 * 3600))
# Real seconds without a new hour after which the fill is given up.
STALL_SECONDS=120
DEFAULT_RETENTION=100

[ -x "$COLLECTOR" ] || { echo "no collector at $COLLECTOR" >&2; exit 1; }
[ -f "$KELV_LIBFAKETIME" ] || { echo "libfaketime is not installed ($KELV_LIBFAKETIME)" >&2; exit 1; }
if [ -d "$DATA" ] && [ -n "$(ls -A "$DATA")" ]; then
  echo "$DATA already holds files: no history filled" >&2
  exit 1
fi
if kelv_collector_running; then
  echo "a collector is running already: it keeps its own history, none filled"
  exit 0
fi

# The retention of Kelv.ini, as the collector reads it: 0, missing or not a
# number is 100. The last day filled must outlive the first purge.
retention=$(kelv_ini_value "$PROGRAM_DIR/Kelv.ini" CMNKD)
[[ "$retention" =~ ^[0-9]+$ ]] && [ "$retention" -gt 0 ] || retention=$DEFAULT_RETENTION
if [ "$DAYS" -gt $((retention - 1)) ]; then DAYS=$((retention - 1)); fi
if [ "$DAYS" -lt 1 ]; then
  echo "the retention (CMNKD=$retention) keeps no day before today: no history filled"
  exit 0
fi

today=${KELV_HISTORY_TODAY:-$(date +%F)}
start=$(date -d "$today -$DAYS days" +%s)
days=()
for ((d = DAYS; d >= 1; d--)); do days+=("$(date -d "$today -$d days" +%Y%m%d)"); done
last=${days[-1]}
hours=$((DAYS * HOURS_PER_DAY))

work=$(mktemp -d)
pids=()
complete=0
cleanup() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    kelv_remove_faketime_files "$pid"
  done
  # The data directory was empty and no collector ran: a fill cut short
  # takes all its files with it, so that the next run tries again.
  if [ "$complete" = 0 ] && [ -f "$work/started" ] && [ -d "$DATA" ]; then
    find "$DATA" -mindepth 1 -delete 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The lines the collector wrote to its error log during the fill.
fill_problems() {
  find "$PROGRAM_DIR" -maxdepth 1 -name 'KVErr*.LOG' -newer "$work/started" -exec cat {} + 2>/dev/null || true
}

# The collector's own settings: a sample a minute, and a retention of the
# days filled and today, so that its last purge (at the midnight that ends
# the last day) removes the lead's hours of the day before the first.
printf ';history fill\r\nCMNKD=%s\r\nMUSDP=60\r\nMULGB=60\r\nORCUR=60\r\nORFRM=60\r\nORPGO=60\r\n;END\r\n' \
  "$((DAYS + 1))" > "$work/Kelv.ini"
mkdir -p "$DATA"
touch "$work/started"

# An instance started after the first day would show no work before its
# start: it is restarted at the start of the history.
kelv_sim_restart_if_later "$DSN" "$((start - LEAD_SECONDS))"

echo "filling ${DAYS} days of history (${days[*]}) with the collector at ${SPEED}x"
(
  cd "$work"
  export KELV_PASSWORD=manager QT_QPA_PLATFORM=offscreen
  exec env LD_PRELOAD="$KELV_LIBFAKETIME" FAKETIME="$(kelv_faketime_spec "$((start - LEAD_SECONDS))" "$SPEED")" \
    FAKETIME_DONT_RESET=1 "$COLLECTOR" "$DSN" system
) </dev/null >"$work/collector.out" 2>&1 &
pids+=($!)
collector=$!

# Progress: the hours written so far, one line per quarter day. The last
# tick also purges the lead's day: the fill ends when that is gone too.
lead_day=$(date -d "$today -$((DAYS + 1)) days" +%Y%m%d)
reported=-1
written=0
last_progress=$(date +%s)
while :; do
  count=0
  for day in "${days[@]}"; do
    [ -f "$DATA/OR$day.dat" ] && count=$((count + $(grep -c . "$DATA/OR$day.dat" || true)))
  done
  if [ "$count" -gt "$written" ]; then written=$count; last_progress=$(date +%s); fi
  if [ $((written / 6)) -gt "$reported" ]; then
    reported=$((written / 6))
    printf '  %3d of %d hours written\n' "$written" "$hours"
  fi
  [ "$written" -ge "$hours" ] && [ ! -e "$DATA/OR$lead_day.dat" ] && break
  if ! kill -0 "$collector" 2>/dev/null; then
    echo "the collector ended early:" >&2
    cat "$work/collector.out" >&2
    fill_problems >&2
    exit 1
  fi
  if [ $(( $(date +%s) - last_progress )) -gt "$STALL_SECONDS" ]; then
    echo "the history stopped growing at $written of $hours hours" >&2
    exit 1
  fi
  sleep "$POLL_SECONDS"
done

# What went wrong on the way is in the collector's error log.
problems=$(fill_problems)
if [ -n "$problems" ]; then
  echo "the collector logged problems:"
  printf '%s\n' "$problems"
fi
complete=1
echo "history of ${DAYS} days in $DATA (MU, ML and OR files of ${days[*]})"
