#!/bin/sh
# Starts or stops the throwaway PostgreSQL 15 server of the driver tests.
#   pg_fixture.sh start STATEFILE   -> writes the socket directory to STATEFILE
#   pg_fixture.sh stop  STATEFILE
# The server listens only on a Unix socket in a fresh temporary directory, so
# it never clashes with another server. initdb refuses root: as root the
# server runs as nobody.
set -eu
B=/usr/lib/postgresql/15/bin
action=$1
state=$2

as_server() {
    if [ "$(id -u)" = 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}

case "$action" in
start)
    if [ -s "$state" ] && [ -d "$(cat "$state")" ]; then "$0" stop "$state" || true; fi
    D=$(mktemp -d /tmp/kelv_pg_XXXXXX)
    chmod 755 "$D"
    if [ "$(id -u)" = 0 ]; then chown nobody:nogroup "$D"; fi
    as_server "$B/initdb" -D "$D/data" -A trust -U postgres -E UTF8 --locale=C --no-sync >"$D/initdb.log" 2>&1
    as_server "$B/pg_ctl" -D "$D/data" -l "$D/pg.log" -w -t 30 \
        -o "-c listen_addresses='' -k $D -c fsync=off" start >/dev/null
    "$B/createdb" -h "$D" -U postgres testdb
    echo "$D" >"$state"
    ;;
stop)
    [ -s "$state" ] || exit 0
    D=$(cat "$state")
    if [ -d "$D/data" ]; then as_server "$B/pg_ctl" -D "$D/data" -m fast -w stop >/dev/null || true; fi
    rm -rf "$D"
    rm -f "$state"
    ;;
*)
    echo "usage: $0 start|stop STATEFILE" >&2
    exit 2
    ;;
esac
