# Helpers shared by the scripts (sourced, not run): the settings file, the
# collector's single-instance lock, the simulated instance and libfaketime.

KELV_LIBFAKETIME=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
# The data sources that register-dsn.sh writes for the simulated instance.
KELV_SIM_DSN_PATTERN='^KELV_ORA[0-9]+$'

# The user's data-source file as the driver manager finds it: ODBCINI, else
# .odbc.ini in the home directory of the user's account (not $HOME).
kelv_user_odbc_ini() {
  printf '%s\n' "${ODBCINI:-$(getent passwd "$(id -un)" | cut -d: -f6)/.odbc.ini}"
}

# Value of a key of a Kelv.ini as the programs read it: the first key line
# whose key matches without regard to case; the value ends at ";" or a
# second "=". Empty when the file or the key is missing.
kelv_ini_value() {
  local file=$1 key=$2
  [ -f "$file" ] || return 0
  awk -v want="$(printf '%s' "$key" | tr '[:lower:]' '[:upper:]')" '
    { sub(/\r$/, ""); line = $0; sub(/;.*/, "", line) }
    index(line, "=") {
      k = substr(line, 1, index(line, "=") - 1); v = substr(line, index(line, "=") + 1)
      sub(/=.*/, "", v); gsub(/^[ \t]+|[ \t]+$/, "", k); gsub(/^[ \t]+|[ \t]+$/, "", v)
      if (toupper(k) == want) { print v; exit }
    }' "$file"
}

# The directory of the programs' lock files: XDG_RUNTIME_DIR when it is the
# user's own private directory, else /tmp/kelv-<uid> (as the programs decide).
kelv_runtime_dir() {
  local xdg=${XDG_RUNTIME_DIR:-}
  if [ -n "$xdg" ] && [ -d "$xdg" ] && [ -O "$xdg" ] && [ "$(stat -c %a "$xdg")" = 700 ]; then
    printf '%s\n' "$xdg"
  else
    printf '/tmp/kelv-%s\n' "$(id -u)"
  fi
}

# True while a collector holds its single-instance lock.
kelv_collector_running() {
  local lock
  lock="$(kelv_runtime_dir)/Kelvg.lock"
  [ -f "$lock" ] || return 1
  ! flock -n "$lock" true 2>/dev/null
}

# FAKETIME setting that starts a process's clock at Unix time `start` and
# runs it `speed` times as fast.
kelv_faketime_spec() {
  local start=$1 speed=$2 offset
  offset=$((start - $(date +%s)))
  if [ "$offset" -ge 0 ]; then printf '+%d x%d\n' "$offset" "$speed"; else printf -- '-%d x%d\n' "$((-offset))" "$speed"; fi
}

# libfaketime leaves a shared memory object and a semaphore per process.
kelv_remove_faketime_files() {
  rm -f "/dev/shm/faketime_shm_$1" "/dev/shm/sem.faketime_sem_$1"
}

# Runs one statement on a data source as system/manager with isql, its clock
# set by a FAKETIME setting (empty: the real clock); prints the rows.
kelv_sim_statement() {
  local dsn=$1 sql=$2 faketime=${3:-} pid status=0 out
  out=$(mktemp)
  if [ -n "$faketime" ]; then
    printf '%s\n' "$sql" | env LD_PRELOAD="$KELV_LIBFAKETIME" FAKETIME="$faketime" \
      isql -b -d'|' "$dsn" system manager >"$out" 2>&1 &
  else
    printf '%s\n' "$sql" | isql -b -d'|' "$dsn" system manager >"$out" 2>&1 &
  fi
  pid=$!
  wait "$pid" || status=$?
  [ -z "$faketime" ] || kelv_remove_faketime_files "$pid"
  cat "$out"
  rm -f "$out"
  return "$status"
}

# Restarts the simulated instance behind a data source at Unix time `start`
# when it was started later (its counters would show no work before). Both
# statements run with the clock at `start`: an instance that does not exist
# yet is made then, with its log history up to that moment.
kelv_sim_restart_if_later() {
  local dsn=$1 start=$2 started
  started=$(kelv_sim_statement "$dsn" "SELECT TO_CHAR(STARTUP_TIME, 'YYYYMMDDHH24MISS') FROM V\$INSTANCE" \
    "$(kelv_faketime_spec "$start" 1)" | grep -E '^[0-9]{14}$' | head -n 1) || true
  # No answer: the collector's logon reports what is wrong.
  [ -n "$started" ] || return 0
  # The instance keeps its times in UTC.
  if [[ "$started" > "$(date -u -d "@$start" +%Y%m%d%H%M%S)" ]]; then
    kelv_sim_statement "$dsn" "ALTER SYSTEM RESTART INSTANCE" "$(kelv_faketime_spec "$start" 1)" >/dev/null
  fi
}

# The user's data sources that the login offers as Oracle ones (their
# driver's description, the Driver key, contains "Oracle" in any case)
# other than the simulated instance's, comma-separated.
kelv_other_oracle_sources() {
  local ini
  ini=$(kelv_user_odbc_ini)
  [ -f "$ini" ] || return 0
  awk -v ours="$KELV_SIM_DSN_PATTERN" '
    function finish() {
      if (name != "" && toupper(driver) ~ /ORACLE/ && !(name ~ ours && driver ~ /libKelvSimOracle\.so$/))
        found = found (found == "" ? "" : ", ") name
    }
    { sub(/\r$/, "") }
    /^[ \t]*\[/ { finish(); name = $0; gsub(/^[ \t]*\[|\][ \t]*$/, "", name); driver = ""; if (name == "ODBC") name = ""; next }
    /^[ \t]*[Dd][Rr][Ii][Vv][Ee][Rr][ \t]*=/ { driver = $0; sub(/^[^=]*=[ \t]*/, "", driver); sub(/[ \t]+$/, "", driver) }
    END { finish(); print found }' "$ini"
}
