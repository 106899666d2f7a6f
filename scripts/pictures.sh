#!/usr/bin/env bash
# Pictures of the viewer: the real Kelvs on the simulated instance under a
# virtual X server (Xvfb), one PNG per tab, clicked through as a user would.
#
#   pictures.sh OUT_DIR PROGRAM_DIR DATA_DIR [DSN]
#       the viewer of PROGRAM_DIR on the statistics files of DATA_DIR,
#       logged in as system/manager to DSN (default KELV_ORA10)
#   pictures.sh --readme [OUT_DIR]
#       the README's pictures (default docs/pictures): a fresh simulated
#       instance and two days of history on a fixed Wednesday, so that every
#       event of the week shows and a new run gives the same pictures
#
# The viewer runs from a scratch copy whose Kelv.ini points at DATA_DIR and
# whose collector does nothing: taking pictures starts no collector and
# changes no settings. KELV_BUILD_DIR names the build for --readme.
set -euo pipefail

SCRIPTS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$SCRIPTS/.." && pwd)
# shellcheck source=scripts/kelv-common.sh
. "$SCRIPTS/kelv-common.sh"

SCREEN=1280x1024x24
WINDOW_CAPTION='^Kelvane$'
START_TIMEOUT=60
# Seconds for a page to load and draw after its tab is clicked.
PAGE_SETTLE=${KELV_PICTURE_SETTLE:-2}
# The Wednesday of the README's pictures (UTC): Monday and Tuesday before it
# hold every event of the simulated week.
README_DAY=2026-12-02
README_TIME=10:30:00
# Where the tab rows are looked for, in window pixels: the main tabs under
# the menu, the pages of a statistics tab under the main tabs and right of
# its day list.
MAIN_TAB_TOP=20
MAIN_TAB_BAND=40
PAGE_TAB_BAND=70
DAY_LIST_WIDTH=112
MAIN_TABS=(checkpoint memory rate tablespace fragmentation segments sessions logfiles parameters extents)
MEMORY_PAGES=(sharedpool sqlarea librarycache dictionarycache blockbuffer logbuffer sortarea latch1 latch2)
RATE_PAGES=(logins memoryuse)

work=$(mktemp -d)
pids=()
faked=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  [ ! -f "$work/stubs" ] || faked+=($(cat "$work/stubs"))
  for pid in "${faked[@]}"; do kelv_remove_faketime_files "$pid"; done
  rm -rf "$work"
}
trap cleanup EXIT

# The rows of tabs in a band of a picture, top to bottom, one line each:
# "y x1 x2 ...", the middle of the row and the centres of its tabs. Tabs
# are told apart by their borders: vertical runs, a tab high, of the
# style's grey (R = G = B between 144 and 176). Runs that start on the same
# line make one row of tabs; borders a few pixels apart are one boundary;
# a tab is 20 to 200 pixels wide with a caption in it, and a row has two
# of them at least.
# Columns left of `left` are not looked at.
tab_rows() {
  local picture=$1 top=$2 height=$3 left=${4:-0}
  convert "$picture" +repage -crop "x$height+0+$top" +repage txt:- | awk -v top="$top" -v left="$left" '
    BEGIN { minrun = 12; near = 3; minwidth = 20; maxwidth = 200 }
    NR == 1 { next }
    {
      split($1, xy, /[,:]/); x = xy[1] + 0; y = xy[2] + 0
      split($2, c, /[(),]/)
      grey[x, y] = (c[2] == c[3] && c[3] == c[4] && c[2] >= 144 && c[2] <= 176)
      dark[x, y] = (c[2] < 96 && c[3] < 96 && c[4] < 96)
      if (x > width) width = x
      if (y > height) height = y
    }
    # A tab carries a caption: dark pixels between its borders.
    function captioned(x0, x1, y0, y1,    x, y, n) {
      for (x = x0 + 1; x < x1; x++) for (y = y0; y <= y1; y++) n += dark[x, y]
      return n >= 5
    }
    END {
      # Vertical runs of border grey, a tab high or longer.
      for (x = left; x <= width; x++) {
        run = 0
        for (y = 0; y <= height + 1; y++) {
          if (y <= height && grey[x, y]) { run++; continue }
          if (run >= minrun) { runs++; rx[runs] = x; ry0[runs] = y - run; ry1[runs] = y - 1 }
          run = 0
        }
      }
      # Rows of tabs: where runs start, as high as the shortest run there.
      for (r = 1; r <= runs; r++) {
        key = 0
        for (k = 1; k <= rows; k++) if (ry0[r] - rowy[k] <= near && rowy[k] - ry0[r] <= near) key = k
        if (key == 0) { key = ++rows; rowy[key] = ry0[r]; rowend[key] = ry1[r] }
        if (ry1[r] < rowend[key]) rowend[key] = ry1[r]
      }
      # Top to bottom; in each row, the tabs between the borders crossing it
      # (a border that starts higher up, beside the tabs above, counts too).
      for (printed = 0; printed < rows; printed++) {
        best = 0
        for (k = 1; k <= rows; k++) if (!(k in done) && (best == 0 || rowy[k] < rowy[best])) best = k
        done[best] = 1
        delete crosses
        for (r = 1; r <= runs; r++)
          if (ry0[r] <= rowy[best] + near && ry1[r] >= rowend[best] - near) crosses[rx[r]] = 1
        line = ""; prev = -100; have = 0; tabs = 0
        for (x = left; x <= width; x++) {
          if (!(x in crosses)) continue
          if (x - prev > near) {
            if (have && x - edge >= minwidth && x - edge <= maxwidth && captioned(edge, x, rowy[best], rowend[best])) {
              line = line " " int((edge + x) / 2); tabs++
            }
            have = 1
          }
          edge = x; prev = x
        }
        # A row of tabs has two at least; a frame around a page has none.
        if (tabs >= 2) print top + int((rowy[best] + rowend[best]) / 2) line
      }
    }'
}

# Clicks at (x, y) of the window and waits for the page to draw.
click_at() {
  xdotool mousemove --sync "$((win_x + $1))" "$((win_y + $2))" click 1
  sleep "$PAGE_SETTLE"
}

snap() {
  import -window "$win" "$out/$1.png"
  echo "  $out/$1.png"
}

# Clicks through every tab of the rows of tabs found in a band and takes a
# picture of each. Args: band top, band height, left bound, names...
snap_tabs() {
  local top=$1 height=$2 left=$3; shift 3
  local names=("$@") i=0 y xs x
  import -window "$win" "$work/tabs.png"
  while read -r y xs; do
    for x in $xs; do
      [ "$i" -lt "${#names[@]}" ] || break
      click_at "$x" "$y"
      snap "${names[$i]}"
      i=$((i + 1))
    done
  done < <(tab_rows "$work/tabs.png" "$top" "$height" "$left")
  [ "$i" -eq "${#names[@]}" ] || { echo "found $i of ${#names[@]} tabs (${names[0]}...)" >&2; return 1; }
}

# The viewer from a scratch program directory: its Kelv.ini names the data
# directory, its "collector" ends at once, its data sources are the
# simulated instance's only, its lock directory is its own.
prepare_viewer() {
  local program_dir=$1 data_dir=$2 dsn=$3 user_ini
  mkdir -p "$work/program" "$work/run"
  chmod 700 "$work/run"
  cp "$program_dir/Kelvs" "$work/program/Kelvs"
  # The stand-in collector notes its pid: under faketime (--readme) it
  # leaves libfaketime's files, which cleanup removes.
  printf '#!/bin/sh\n[ -z "$KELV_PICTURE_STUBS" ] || echo $$ >> "$KELV_PICTURE_STUBS"\nexit 0\n' > "$work/program/Kelvg"
  chmod +x "$work/program/Kelvg"
  printf ';pictures of the viewer\r\nDATPH=%s\r\n;END\r\n' "$data_dir" > "$work/program/Kelv.ini"
  user_ini=$(kelv_user_odbc_ini)
  awk -v want="[$dsn]" '/^\[/ { keep = ($0 == want) } keep' "$user_ini" > "$work/odbc.ini"
  grep -q . "$work/odbc.ini" || { echo "data source $dsn is not registered in $user_ini" >&2; return 1; }
}

# Starts Xvfb and the viewer (under FAKETIME when $1 is not empty).
start_viewer() {
  local faketime=$1 display viewer
  Xvfb -displayfd 3 -screen 0 "$SCREEN" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  display=":$(head -n 1 "$work/display")"
  (
    cd "$work/program"
    # On the virtual screen, whatever platform the caller's Qt programs use.
    export QT_QPA_PLATFORM=xcb DISPLAY="$display" ODBCINI="$work/odbc.ini" XDG_RUNTIME_DIR="$work/run" \
      KELV_PICTURE_STUBS="$work/stubs"
    if [ -n "$faketime" ]; then
      exec env LD_PRELOAD="$KELV_LIBFAKETIME" FAKETIME="$faketime" FAKETIME_DONT_RESET=1 ./Kelvs system/manager
    fi
    exec ./Kelvs system/manager
  ) >"$work/viewer.log" 2>&1 &
  viewer=$!
  pids+=("$viewer")
  [ -z "$faketime" ] || faked+=("$viewer")
  export DISPLAY="$display"
  win=$(timeout "$START_TIMEOUT" xdotool search --sync --name "$WINDOW_CAPTION" | head -n 1) || true
  if [ -z "$win" ]; then
    echo "the viewer did not open its window:" >&2
    cat "$work/viewer.log" >&2
    return 1
  fi
  eval "$(xdotool getwindowgeometry --shell "$win" | sed 's/^X=/win_x=/; s/^Y=/win_y=/' | grep -E '^win_[xy]=')"
  sleep "$PAGE_SETTLE"
}

# The README's setting: a scratch build of programs, instance and history,
# the clock on README_DAY (UTC, the simulated week's time zone).
readme_setup() {
  local build=${KELV_BUILD_DIR:-$ROOT/build} start
  for part in bin/Kelvs bin/Kelvg lib/libKelvSimOracle.so; do
    [ -e "$build/$part" ] || { echo "not built: $build/$part (run scripts/kelv.sh run or test first)" >&2; exit 1; }
  done
  export TZ=UTC KELV_SIM_DATA="$work/sim" ODBCINI="$work/user-odbc.ini" XDG_RUNTIME_DIR="$work/run"
  mkdir -p "$work/fill" "$work/run"
  chmod 700 "$work/run"
  cp "$build/bin/Kelvg" "$work/fill/Kelvg"
  cp "$ROOT/scripts/Kelv.ini.template" "$work/fill/Kelv.ini"
  "$SCRIPTS/register-dsn.sh" "$build" "$ODBCINI" >/dev/null
  KELV_HISTORY_TODAY=$README_DAY "$SCRIPTS/fill-history.sh" "$work/fill" KELV_ORA10
  prepare_viewer "$build/bin" "$work/fill/KLVDAT" KELV_ORA10
  start=$(date -u -d "$README_DAY $README_TIME" +%s)
  readme_faketime=$(kelv_faketime_spec "$start" 1)
}

# Every main tab, then the pages of the memory and operating-rate tabs.
take_pictures() {
  local main_row main_xs
  import -window "$win" "$work/main.png"
  read -r main_row main_xs < <(tab_rows "$work/main.png" "$MAIN_TAB_TOP" "$MAIN_TAB_BAND")
  [ -n "${main_xs:-}" ] || { echo "no tabs found in the viewer's window" >&2; return 1; }
  local xs=($main_xs)
  snap_tabs "$MAIN_TAB_TOP" "$MAIN_TAB_BAND" 0 "${MAIN_TABS[@]/#/main-}"
  click_at "${xs[1]}" "$main_row"
  snap_tabs "$((main_row + 8))" "$PAGE_TAB_BAND" "$DAY_LIST_WIDTH" "${MEMORY_PAGES[@]/#/memory-}"
  click_at "${xs[2]}" "$main_row"
  snap_tabs "$((main_row + 8))" "$PAGE_TAB_BAND" "$DAY_LIST_WIDTH" "${RATE_PAGES[@]/#/rate-}"
  # Back on the first tab, as the viewer opens.
  click_at "${xs[0]}" "$main_row"
}

main() {
  local dsn=KELV_ORA10 faketime=""
  if [ "${1:-}" = "--readme" ]; then
    out=${2:-$ROOT/docs/pictures}
    readme_setup
    faketime=$readme_faketime
  else
    [ $# -ge 3 ] || { echo "usage: $0 OUT_DIR PROGRAM_DIR DATA_DIR [DSN] | $0 --readme [OUT_DIR]" >&2; exit 2; }
    out=$1
    dsn=${4:-$dsn}
    prepare_viewer "$2" "$3" "$dsn"
  fi
  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  start_viewer "$faketime"
  take_pictures
}

main "$@"
