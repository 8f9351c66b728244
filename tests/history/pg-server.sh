#!/usr/bin/env bash
# A private PostgreSQL server for the shared-history tests, started and
# stopped by CTest (a fixture), never as a system service.
#
#   pg-server.sh start DIR SQL   initdb in DIR, start the server on a Unix
#                                socket in DIR and on a free localhost port,
#                                load SQL into the template database
#                                korvel_template, and make the test logins
#   pg-server.sh pause DIR       stop it, keeping its data
#   pg-server.sh resume DIR      start it again on its port
#   pg-server.sh stop DIR        stop it and remove DIR
#
# The tests find it through DIR/env: PGHOST (the socket folder), PGPORT, the
# administrator's login and the bench logins' password file. PostgreSQL
# refuses to run as root: under root (as CI runs) the server runs as nobody.
set -euo pipefail

action=$1
dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "pg-server.sh: no PostgreSQL server found under /usr/lib/postgresql (tools/deps.sh test)" >&2
    exit 1
fi

as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"
    else
        "$@"
    fi
}

serve() {
    as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
        -o "-c listen_addresses=127.0.0.1 -p $1 -c unix_socket_directories=$dir -c fsync=off -c max_connections=100 -c shared_buffers=32MB" \
        start >/dev/null 2>&1
}

stop() {
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_server "$bin/pg_ctl" -D "$dir/data" -m immediate -t 20 -w stop >/dev/null 2>&1 || true
    fi
}

case "$action" in
start)
    sql=$3
    stop
    rm -rf "$dir"
    mkdir -p "$dir"
    if [ "$(id -u)" -eq 0 ]; then chown nobody:nogroup "$dir"; fi
    chmod 755 "$dir"
    as_server "$bin/initdb" -D "$dir/data" -U korvel_admin -A trust -E UTF8 --locale=C.UTF-8 \
        --no-sync >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
    # Passwords everywhere but for the administrator on the socket; plain TCP
    # (no TLS) on 127.0.0.1 for the TLS refusal and the host cases.
    cat >"$dir/data/pg_hba.conf" <<EOF
local all korvel_admin trust
local all all scram-sha-256
host all all 127.0.0.1/32 scram-sha-256
EOF
    if [ "$(id -u)" -eq 0 ]; then chown nobody:nogroup "$dir/data/pg_hba.conf"; fi
    started=
    for attempt in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 30000))
        if serve "$port"; then
            started=1
            break
        fi
    done
    if [ -z "$started" ]; then
        cat "$dir/server.log" >&2 || true
        echo "pg-server.sh: the server did not start" >&2
        exit 1
    fi
    psql=("$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$port" -U korvel_admin)
    "${psql[@]}" -d postgres -c "CREATE DATABASE korvel_template" >/dev/null
    "${psql[@]}" -d korvel_template -f "$sql" >/dev/null
    "${psql[@]}" -d postgres >/dev/null <<EOF
CREATE ROLE owner1 LOGIN PASSWORD 'owner-secret' IN ROLE korvel_owner;
CREATE ROLE bench1 LOGIN PASSWORD 'bench1-secret' IN ROLE korvel_bench;
CREATE ROLE bench2 LOGIN PASSWORD 'bench2-secret' IN ROLE korvel_bench;
CREATE ROLE bench3 LOGIN PASSWORD 'bench3-secret' IN ROLE korvel_bench;
CREATE ROLE bench4 LOGIN PASSWORD 'bench4-secret' IN ROLE korvel_bench;
ALTER DATABASE korvel_template IS_TEMPLATE true;
EOF
    {
        for login in owner1:owner-secret bench1:bench1-secret bench2:bench2-secret \
            bench3:bench3-secret bench4:bench4-secret; do
            echo "*:*:*:${login%%:*}:${login#*:}"
        done
    } >"$dir/pgpass"
    chmod 600 "$dir/pgpass"
    printf 'PGHOST=%s\nPGPORT=%s\nADMIN=korvel_admin\nPASSFILE=%s\n' "$dir" "$port" \
        "$dir/pgpass" >"$dir/env"
    ;;
pause)
    stop
    ;;
resume)
    serve "$(sed -n 's/^PGPORT=//p' "$dir/env")"
    ;;
stop)
    stop
    rm -rf "$dir"
    ;;
*)
    echo "usage: pg-server.sh start DIR SQL | stop DIR" >&2
    exit 2
    ;;
esac
