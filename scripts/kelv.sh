#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   scripts/kelv.sh run   install what is missing, build, register the simulated
#                         Oracle instance as user data sources, start the viewer
#   scripts/kelv.sh test  the same set-up, then every test
#   After the normal tests, test runs each fuzzer for a bounded time
#   (KELV_FUZZ_SECONDS, default 30; KELV_FUZZ_BUILD_DIR).
# Both are idempotent.
set -euo pipefail

cmd=${1:-run}
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${KELV_BUILD_DIR:-$ROOT/build}
JOBS=${KELV_JOBS:-$(nproc)}
FUZZ_BUILD=${KELV_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
FUZZ_SECONDS=${KELV_FUZZ_SECONDS:-30}

step() { printf '\n==> %s\n' "$*"; }

PACKAGES=(
  g++ cmake make pkg-config
  qt6-base-dev qt6-charts-dev libgl1-mesa-dev libqt6sql6-odbc
  unixodbc unixodbc-dev odbc-postgresql libsqliteodbc
  libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  postgresql faketime valgrind
  xvfb xauth x11-utils xdotool imagemagick fonts-noto-cjk
)

install_packages() {
  step "Checking Debian packages"
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    echo "all ${#PACKAGES[@]} packages present"
    return
  fi
  echo "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build() {
  step "Building in $BUILD"
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD" -j "$JOBS"
}

register() {
  step "Registering the simulated Oracle instance as user data sources"
  "$ROOT/scripts/register-dsn.sh" "$BUILD"
  if [ ! -f "$BUILD/bin/Kelv.ini" ]; then
    cp "$ROOT/scripts/Kelv.ini.template" "$BUILD/bin/Kelv.ini"
    echo "created $BUILD/bin/Kelv.ini"
  fi
}

run_viewer() {
  step "Starting the viewer (it starts the collector)"
  echo "Data source KELV_ORA10 (also KELV_ORA8, KELV_ORA7)"
  echo "DBA user: system / manager    non-DBA user: scott / tiger"
  cd "$BUILD/bin"
  if [ -z "${DISPLAY:-}" ]; then
    echo "no DISPLAY: running on a virtual X server (xvfb-run)"
    exec xvfb-run -a ./Kelvs "$@"
  fi
  exec ./Kelvs "$@"
}

run_tests() {
  step "Running every test"
  cd "$BUILD"
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --output-on-failure -j "$JOBS" --timeout 1500
}

# Each fuzzer of fuzz/ for KELV_FUZZ_SECONDS (default 30, at most 60) on a
# scratch copy of its seed corpus, in a clang build tree of its own. A finding
# fails the script; its input stays in <fuzz build>/fuzz-findings/<target>/.
run_fuzzers() {
  local seconds=$FUZZ_SECONDS
  [ "$seconds" -le 60 ] || seconds=60
  step "Fuzzing each target for ${seconds}s in $FUZZ_BUILD"
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$FUZZ_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKELV_FUZZ=ON -DBUILD_TESTING=OFF -DKELV_BENCHMARKS=OFF >/dev/null
  cmake --build "$FUZZ_BUILD" -j "$JOBS"
  local scratch corpus name failed=0
  scratch=$(mktemp -d)
  for corpus in "$ROOT"/fuzz/corpus/*/; do
    name=$(basename "$corpus")
    mkdir -p "$scratch/$name" "$FUZZ_BUILD/fuzz-findings/$name"
    cp "$corpus"* "$scratch/$name/"
    if "$FUZZ_BUILD/bin/fuzz_$name" -max_total_time="$seconds" -timeout=10 \
        -artifact_prefix="$FUZZ_BUILD/fuzz-findings/$name/" "$scratch/$name" >"$scratch/$name.log" 2>&1; then
      echo "fuzz_$name: $(grep -Eo 'Done [0-9]+ runs in [0-9]+ second' "$scratch/$name.log")s"
    else
      tail -n 40 "$scratch/$name.log"
      echo "fuzz_$name FAILED; input kept in $FUZZ_BUILD/fuzz-findings/$name/"
      failed=1
    fi
  done
  rm -rf "$scratch"
  return "$failed"
}

case "$cmd" in
  run)  install_packages; build; register; shift || true; run_viewer "$@" ;;
  test) install_packages; build; register; run_tests; run_fuzzers ;;
  *)    echo "usage: $0 run|test" >&2; exit 2 ;;
esac
