#!/usr/bin/env bash
# The run command's first use: two days of history for the simulated
# instance, so that the memory and operating-rate tabs chart something at
# once. Usage: first-run.sh PROGRAM_DIR [DSN]
#
# The history is filled only when all of these hold, and otherwise the data
# directory is left exactly as it is:
#  - KELV_NO_HISTORY is not 1;
#  - the data directory (PROGRAM_DIR/KLVDAT, the collector's) is missing or
#    empty, and Kelv.ini's DATPH names no other directory;
#  - the only Oracle data sources the login offers are the simulated
#    instance's (the statistics files do not say which database they come
#    from, so demo figures must never mix with a real database's).
set -euo pipefail

SCRIPTS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/kelv-common.sh
. "$SCRIPTS/kelv-common.sh"

[ $# -ge 1 ] || { echo "usage: $0 PROGRAM_DIR [DSN]" >&2; exit 2; }
PROGRAM_DIR=$(cd "$1" && pwd)
DSN=${2:-KELV_ORA10}
DATA="$PROGRAM_DIR/KLVDAT"
HISTORY_DAYS=2

if [ "${KELV_NO_HISTORY:-0}" = 1 ]; then
  echo "KELV_NO_HISTORY=1: no history filled"
  exit 0
fi
if [ -d "$DATA" ] && [ -n "$(ls -A "$DATA")" ]; then
  exit 0  # not the first run: the collector keeps the history from here
fi
datph=$(kelv_ini_value "$PROGRAM_DIR/Kelv.ini" DATPH)
if [ -n "$datph" ] && [ "${datph%/}" != "$DATA" ]; then
  echo "Kelv.ini names its own data directory (DATPH=$datph): no history filled"
  exit 0
fi
others=$(kelv_other_oracle_sources)
if [ -n "$others" ]; then
  echo "Oracle data sources other than the simulated instance are registered ($others):"
  echo "no demo history is filled, so that their statistics never mix with simulated ones"
  exit 0
fi

printf '\n==> %s\n' "First run: filling ${HISTORY_DAYS} days of history for the simulated instance (KELV_NO_HISTORY=1 skips this)"
"$SCRIPTS/fill-history.sh" "$PROGRAM_DIR" "$DSN" "$HISTORY_DAYS" ||
  echo "no history filled; the viewer starts all the same and the collector begins from now"
