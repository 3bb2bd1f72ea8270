#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the history tests: trust authentication, listening on
# 127.0.0.1 and a socket in its own folder only, run by an unprivileged user.
#   pgcluster.sh start STATE    initdb and start; STATE.url gets the URL
#   pgcluster.sh pause STATE    stop the server, keep the cluster
#   pgcluster.sh resume STATE   start it again on the same port
#   pgcluster.sh stop STATE     stop and remove everything
set -euo pipefail
cmd=${1:?command}
state=${2:?state file}

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1 || true)
if [ -z "$bin" ]; then
    echo "pgcluster: no PostgreSQL server binaries under /usr/lib/postgresql" >&2
    exit 1
fi

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

server() { # start|stop, on the port in the state
    local dir port
    dir=$(cat "$state")
    port=$(cat "$state.port")
    if [ "$1" = start ]; then
        as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
            -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off" start >/dev/null
    else
        as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 30 stop >/dev/null
    fi
}

case $cmd in
start)
    if [ -f "$state" ]; then "$0" stop "$state" || true; fi
    dir=$(mktemp -d /tmp/hart-pg.XXXXXX)
    chmod 755 "$dir"
    if [ "$(id -u)" -eq 0 ]; then chown postgres "$dir"; fi
    as_owner "$bin/initdb" -D "$dir/data" -U hart -A trust -E UTF8 --no-sync >"$dir/initdb.log" 2>&1 \
        || { cat "$dir/initdb.log" >&2; rm -rf "$dir"; exit 1; }
    echo "$dir" >"$state"
    # A free port: another cluster on the machine makes the start fail, so try the next.
    for port in $(seq $((55432 + RANDOM % 400)) 5 56000); do
        echo "$port" >"$state.port"
        if server start 2>/dev/null; then
            as_owner "$bin/createdb" -h 127.0.0.1 -p "$port" -U hart hart_test
            echo "postgresql://hart@127.0.0.1:$port/hart_test" >"$state.url"
            exit 0
        fi
    done
    echo "pgcluster: no free port" >&2
    exit 1
    ;;
pause) server stop ;;
resume) server start ;;
stop)
    [ -f "$state" ] || exit 0
    dir=$(cat "$state")
    server stop 2>/dev/null || true
    rm -rf "$dir"
    rm -f "$state" "$state.port" "$state.url"
    ;;
*)
    echo "pgcluster: start, pause, resume or stop" >&2
    exit 2
    ;;
esac
