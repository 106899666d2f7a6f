#!/usr/bin/env bash
# Opens the viewer of PROGRAM_DIR (which starts the collector). Without a
# display it says so, logs in to the simulated instance on a virtual screen
# instead, writes a picture of every tab into a folder, tells where, and ends.
#
# Usage: open-viewer.sh PROGRAM_DIR [viewer arguments]
#   KELV_PICTURES_DIR  where the pictures go without a display
#                      (default PROGRAM_DIR/../pictures)
set -euo pipefail

SCRIPTS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/kelv-common.sh
. "$SCRIPTS/kelv-common.sh"

[ $# -ge 1 ] || { echo "usage: $0 PROGRAM_DIR [viewer arguments]" >&2; exit 2; }
PROGRAM_DIR=$(cd "$1" && pwd)
shift
DEMO_DSN=KELV_ORA10

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  printf '\n==> %s\n' "Starting the viewer (it starts the collector)"
  echo "Data source KELV_ORA10 (also KELV_ORA19, KELV_ORA9, KELV_ORA8, KELV_ORA7)"
  echo "DBA user: system / manager    non-DBA user: scott / tiger"
  cd "$PROGRAM_DIR"
  exec ./Kelvs "$@"
fi

out=${KELV_PICTURES_DIR:-$(dirname "$PROGRAM_DIR")/pictures}
data=$(kelv_ini_value "$PROGRAM_DIR/Kelv.ini" DATPH)
[ -n "$data" ] || data="$PROGRAM_DIR/KLVDAT"
printf '\n==> %s\n' "No display found"
echo "No display was found (DISPLAY and WAYLAND_DISPLAY are not set), so the viewer"
echo "cannot open its window here. Instead it logs in to the simulated instance"
echo "($DEMO_DSN as system/manager) on a virtual screen and takes a picture of every tab."
"$SCRIPTS/pictures.sh" "$out" "$PROGRAM_DIR" "$data" "$DEMO_DSN"
echo
echo "The pictures of every tab are in $out"
echo "Run the same command where a display is available to use the viewer itself."
