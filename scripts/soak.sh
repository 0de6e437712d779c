#!/usr/bin/env bash
# A clinic's day on four workstations at once, against a file and then against a PostgreSQL
# server of its own (restarted half-way through), for SECONDS each (30 minutes unless told).
# Prints each run's counts and timings; fails on any lost or unreported change, journal fault,
# crash or unexpected failure.
#   scripts/soak.sh [SECONDS] [BIN-FOLDER]      BIN-FOLDER holds soak and obsledger-admin (build/bin)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-1800}
bin=${2:-$root/build/bin}
pg_bin=/usr/lib/postgresql/15/bin
work=$(mktemp -d /tmp/obsledger-soak.XXXXXX)
pg_as=()
[ "$(id -u)" -eq 0 ] && pg_as=(runuser -u postgres --)
cleanup() {
    [ -d "$work/pg/data" ] && "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$work/pg/data" -m fast stop >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"

echo "== Fichier, $seconds s"
"$bin/obsledger-admin" init "$work/OBSLEDGER.mdb" >/dev/null
"$bin/soak" run "$work/OBSLEDGER.mdb" "$seconds" 4

echo "== Serveur, $seconds s, redémarré au milieu"
chmod 755 "$work"
mkdir -p "$work/pg"
[ "$(id -u)" -eq 0 ] && chown postgres "$work/pg"
"${pg_as[@]}" "$pg_bin/initdb" -D "$work/pg/data" -A trust -U postgres -E UTF8 >"$work/initdb.log" 2>&1 ||
    { cat "$work/initdb.log" >&2; exit 1; }
start=(-D "$work/pg/data" -o "-k $work/pg -c listen_addresses=''" -l "$work/pg/server.log" -w)
"${pg_as[@]}" "$pg_bin/pg_ctl" "${start[@]}" start >/dev/null
psql=(psql -X -q -h "$work/pg" -U postgres -v ON_ERROR_STOP=1)
"${psql[@]}" -d postgres -c "CREATE ROLE obsledger_utilisateurs NOLOGIN" -c "CREATE DATABASE soak" >/dev/null
conninfo="host=$work/pg user=postgres dbname=soak"
"$bin/obsledger-admin" init "$conninfo" >/dev/null
restart="${pg_as[*]} $pg_bin/pg_ctl -D $work/pg/data -m fast -w restart -o \"-k $work/pg -c listen_addresses=''\" -l $work/pg/server.log >/dev/null"
"$bin/soak" run "$conninfo" "$seconds" 4 "$restart"
