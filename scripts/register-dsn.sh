#!/usr/bin/env bash
# Registers the simulated Oracle instances as the current user's ODBC data
# sources (the driver manager's user odbc.ini; no root needed).
# Usage: register-dsn.sh BUILD_DIR [ODBC_INI_FILE]
set -euo pipefail
BUILD=$(cd "$1" && pwd)
INI=${2:-${ODBCINI:-$(getent passwd "$(id -un)" | cut -d: -f6)/.odbc.ini}}
DRIVER="$BUILD/lib/libKelvSimOracle.so"
DATA=${KELV_SIM_DATA:-${XDG_DATA_HOME:-$HOME/.local/share}/kelv/sim}
mkdir -p "$DATA"
[ -f "$DRIVER" ] || { echo "driver not built: $DRIVER" >&2; exit 1; }
touch "$INI"

# Drop our old sections, keep everything else of the user's file.
tmp=$(mktemp)
awk '/^\[/{skip = ($0 ~ /^\[KELV_ORA(19|10|9|8|7)\]$/)} !skip' "$INI" > "$tmp"
# KELV_ORA19 looks like a default 19c install: automatic memory (shared_pool_size
# 0), locally managed tablespaces only, a 'free memory' row per SGA pool, killed
# sessions listed as KILLED for a while; KELV_ORA9 a 9i one with a dictionary-
# managed SYSTEM. Both follow from the version (simulator/README.md).
for v in 19 10 9 8 7; do
  cat >> "$tmp" <<SECTION
[KELV_ORA$v]
Description = Kelv simulated Oracle $v instance
Driver      = $DRIVER
Database    = $DATA/KELV_ORA$v.db
Version     = $v

SECTION
done
mv "$tmp" "$INI"
echo "registered KELV_ORA19, KELV_ORA10, KELV_ORA9, KELV_ORA8, KELV_ORA7 in $INI (driver $DRIVER)"
