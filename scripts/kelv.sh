#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   scripts/kelv.sh run   install what is missing, build, register the simulated
#                         Oracle instance as user data sources, on first use fill
#                         two days of history for it (KELV_NO_HISTORY=1 skips),
#                         start the viewer; without a display, take a picture of
#                         every tab instead (scripts/open-viewer.sh)
#   scripts/kelv.sh test  the same set-up, then every test
#   After the normal tests, test runs each fuzzer for a bounded time
#   (KELV_FUZZ_SECONDS, default 30; KELV_FUZZ_BUILD_DIR), then builds a second
#   tree with AddressSanitizer and UBSan (KELV_ASAN_BUILD_DIR, default
#   build-asan) and runs the whole suite there.
# Both are idempotent.
set -euo pipefail

cmd=${1:-run}
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${KELV_BUILD_DIR:-$ROOT/build}
ASAN_BUILD=${KELV_ASAN_BUILD_DIR:-$ROOT/build-asan}
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
  prometheus prometheus-cpp-dev libyaml-cpp-dev
  clang libclang-rt-14-dev
  postgresql faketime valgrind libasan8 libubsan1
  xvfb xauth x11-utils xdotool imagemagick fonts-noto-cjk
  python3-pyodbc
  dpkg-dev lintian file
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

# History for the simulated instance on first use, then the viewer (or,
# without a display, pictures of it).
run_viewer() {
  "$ROOT/scripts/first-run.sh" "$BUILD/bin"
  exec "$ROOT/scripts/open-viewer.sh" "$BUILD/bin" "$@"
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

build_sanitized() {
  step "Building with AddressSanitizer and UBSan in $ASAN_BUILD"
  cmake -S "$ROOT" -B "$ASAN_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKELV_SANITIZE=ON -DKELV_BENCHMARKS=OFF >/dev/null
  cmake --build "$ASAN_BUILD" -j "$JOBS"
}

# The settings go into the environment of ctest, so that the programs the
# tests start (Kelvg, Kelvs, also under faketime) run with them too.
#  - A finding in a program that a test starts and never waits for still
#    fails the run: ASan and LSan reports go to files, one per process
#    (log_path); UBSan ignores log_path beside ASan, so its reports are looked
#    for in the output of every test, passed ones included.
#  - verify_asan_link_order=0: LD_PRELOAD libraries (faketime, the one below)
#    load ahead of the sanitizer runtime.
#  - libodbcinst.so.2 preloaded: the SQLite ODBC driver opens and closes it at
#    every connect; unloaded, its still-referenced settings cache would be
#    reported as leaked from an unknown module, which no suppression can name.
#  - tests/sanitizers/lsan.supp names the third-party libraries whose own
#    leaks are accepted.
run_sanitized_tests() {
  step "Running every test under AddressSanitizer and UBSan"
  local reports="$ASAN_BUILD/sanitizer-reports"
  rm -rf "$reports"
  mkdir -p "$reports"
  local log="log_path=$reports/report:log_exe_name=1"
  local status=0
  cd "$ASAN_BUILD"
  xvfb-run -a -s "-screen 0 1280x1024x24" env \
    ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0:halt_on_error=1:$log" \
    LSAN_OPTIONS="suppressions=$ROOT/tests/sanitizers/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:$log" \
    LD_PRELOAD=libodbcinst.so.2 \
    ctest --output-on-failure -j "$JOBS" --timeout 3000 || status=$?
  local found=("$reports"/report.*)
  if [ -e "${found[0]}" ]; then
    for f in "${found[@]}"; do printf '\n--- %s\n' "$f"; cat "$f"; done
    echo "sanitizer findings: ${#found[@]} report(s) in $reports" >&2
    status=1
  fi
  local output="$ASAN_BUILD/Testing/Temporary/LastTest.log"
  if grep -q -e 'runtime error:' -e 'ERROR: AddressSanitizer' -e 'ERROR: LeakSanitizer' "$output"; then
    grep -n -A20 -e 'runtime error:' -e 'ERROR: AddressSanitizer' -e 'ERROR: LeakSanitizer' "$output"
    echo "sanitizer findings in the test output ($output)" >&2
    status=1
  fi
  return "$status"
}

case "$cmd" in
  run)  install_packages; build; register; shift || true; run_viewer "$@" ;;
  test)
    install_packages; build; register; run_tests; run_fuzzers
    build_sanitized; run_sanitized_tests ;;
  *)    echo "usage: $0 run|test" >&2; exit 2 ;;
esac
