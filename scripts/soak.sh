#!/bin/bash
# Soak run: four workstations (processes going through the data layer the screens use) replay a
# clinic's day for a set time on a database file, then on a PostgreSQL server of the run's own,
# restarted half-way; then the base is compared with what every workstation reported (no write
# lost, none made twice, each act's payments and sums paid over as written) and checked by
# obsledger-admin. Prints the counts and the p50/p95 time of each operation.
#
#   bash scripts/soak.sh [MINUTES]   the long form, MINUTES per engine (30 unless told)
#   bash scripts/soak.sh --short     20 seconds per engine: the test command's form
#
# The programs are taken from OBSLEDGER_BIN (build/bin unless told).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=${OBSLEDGER_BIN:-$root/build/bin}
pg_bin=${OBSLEDGER_PG_BIN:-/usr/lib/postgresql/15/bin}
workstations=4

if [ "${1:-}" = --short ]; then
    # The short form belongs to the test command, which gives a test server; a plain ctest skips it.
    [ -n "${OBSLEDGER_TEST_SERVER:-}" ] || { echo "OBSLEDGER_TEST_SERVER n'est pas défini : essai sauté."; exit 77; }
    seconds=20
else
    seconds=$(( ${1:-30} * 60 ))
fi
for program in soak_workstation obsledger-admin; do
    [ -x "$bin/$program" ] || { echo "Programme introuvable : $bin/$program (construisez-le d'abord)." >&2; exit 1; }
done

work=$(mktemp -d /tmp/obsledger-soak.XXXXXX)
chmod 755 "$work" # the server's own user reaches its folder inside
pg_as=()
server_started=
cleanup() {
    [ -z "$server_started" ] || "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$work/pg/data" -m fast stop >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
# Settings of the run's own, never the user's.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
admin() { "$bin/obsledger-admin" "$@"; }

# Runs the workstations on LOCATION for the set time; RESTART: a command run half-way.
soak() {
    local name=$1 location=$2 restart=${3:-} pids=() i status=0
    local dir="$work/$name"
    mkdir -p "$dir"
    "$bin/soak_workstation" snapshot "$location" >"$dir/before"
    echo "== $name : $workstations postes pendant $seconds s"
    for i in $(seq 1 "$workstations"); do
        mkdir -p "$dir/sauvegarde$i"
        "$bin/soak_workstation" work "$location" "$((RANDOM * 7 + i))" "$seconds" "P$i" "$dir/sauvegarde$i" \
            >"$dir/poste$i" 2>"$dir/poste$i.err" &
        pids+=($!)
    done
    if [ -n "$restart" ]; then
        sleep $((seconds / 2))
        local t0=$SECONDS
        $restart
        echo "Serveur redémarré à mi-parcours ($((SECONDS - t0)) s)"
    fi
    for i in "${pids[@]}"; do
        wait "$i" || status=1
    done
    [ "$status" -eq 0 ] || echo "Un poste s'est arrêté en erreur (voir ci-dessous)." >&2
    "$bin/soak_workstation" check "$location" "$dir/before" "$dir"/poste? || status=1
    admin check "$location" >"$dir/check" 2>&1 || { cat "$dir/check" >&2; status=1; }
    [ "$status" -eq 0 ] && echo "Vérification de la base : saine" || {
        for i in $(seq 1 "$workstations"); do grep -h '^F' "$dir/poste$i" | head -5 >&2 || true; cat "$dir/poste$i.err" >&2; done
    }
    return "$status"
}

# The clinic's base: the demonstration acts, in a file, and copied to the server.
mkdir -p "$work/file" "$work/demo"
admin init "$work/file/OBSLEDGER.mdb" --demo >/dev/null
admin init "$work/demo/OBSLEDGER.mdb" --demo >/dev/null

# A server of the run's own (restarted half-way): Unix socket in its folder, no TCP. initdb
# refuses root: as root, the server runs as the "postgres" user the Debian package creates.
mkdir -p "$work/pg"
if [ "$(id -u)" -eq 0 ]; then
    chown postgres "$work/pg"
    pg_as=(runuser -u postgres --)
fi
"${pg_as[@]}" "$pg_bin/initdb" -D "$work/pg/data" -A trust -U postgres -E UTF8 >"$work/pg/initdb.log" 2>&1 ||
    { cat "$work/pg/initdb.log" >&2; exit 1; }
start_server() {
    "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$work/pg/data" -o "-k $work/pg -c listen_addresses=''" -l "$work/pg/log" \
        -w start >/dev/null || { cat "$work/pg/log" >&2; exit 1; }
}
restart_server() {
    "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$work/pg/data" -o "-k $work/pg -c listen_addresses=''" -l "$work/pg/log" \
        -m fast -w restart >/dev/null
}
start_server
server_started=1
"${pg_as[@]}" "$pg_bin/createdb" -h "$work/pg" -U postgres soak
"${pg_as[@]}" "$pg_bin/psql" -h "$work/pg" -U postgres -d postgres -qc "CREATE ROLE obsledger_utilisateurs NOLOGIN"
server="host=$work/pg dbname=soak user=postgres"
admin init "$server" >/dev/null
admin copy "$work/demo/OBSLEDGER.mdb" "$server" >/dev/null

failed=0
soak fichier "$work/file/OBSLEDGER.mdb" || failed=1
soak serveur "$server" restart_server || failed=1
exit "$failed"
