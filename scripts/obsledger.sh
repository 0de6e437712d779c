#!/usr/bin/env bash
# Sets up Obsledger on a Debian 12 machine.
#   scripts/obsledger.sh run    installs what is missing, builds, and starts the program
#                               (on a demo database when no database is set for this user)
#   scripts/obsledger.sh test   installs what is missing, builds, runs every test (on a throw-away
#                               PostgreSQL server too, with a private CUPS server and PDF printer,
#                               scripts/with-pdf-printer.sh), then builds the Debian package and checks it
#                               (packaging/check-package.sh)
#   scripts/obsledger.sh package  installs what is missing, builds, and makes the Debian package
#                               build/obsledger_<version>_amd64.deb
#                               and again under the sanitizers, then the fuzz targets (scripts/reliability.sh)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libsqlite3-dev libsqlitecpp-dev
          fonts-dejavu-core xvfb xauth openbox x11-utils poppler-utils qt6-translations-l10n
          dpkg-dev file lintian desktop-file-utils appstream man-db clang-format libpq-dev postgresql mdbtools
          clang libclang-rt-14-dev llvm  # sanitizer builds and fuzz targets (scripts/reliability.sh)
          cups printer-driver-cups-pdf  # a private print server for the printing test (scripts/with-pdf-printer.sh)
          openssl  # the throw-away certificate authority of the server fault tests
          libbenchmark-dev)  # the benchmarks are built with the tests, so that they keep building

install_missing() {
    local missing=() p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installation des paquets manquants : ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Arguments: more CMake settings (the test build builds the benchmarks too, never runs them).
build_all() {
    # Debian's hardening flags, so that the packaged programs are built as Debian builds its own.
    local cxxflags ldflags
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cxxflags="$(cd "$root" && dpkg-buildflags --get CPPFLAGS) $(cd "$root" && dpkg-buildflags --get CXXFLAGS)"
    ldflags=$(cd "$root" && dpkg-buildflags --get LDFLAGS)
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" "$@"
    cmake --build "$build" --parallel "$(nproc)"
}

run_program() {
    local admin="$build/bin/obsledger-admin"
    # A new user gets a demo database; an existing database or setting is never touched.
    if ! "$admin" path >/dev/null 2>&1; then
        local data="${XDG_DATA_HOME:-$HOME/.local/share}/obsledger"
        mkdir -p "$data"
        [ -e "$data/OBSLEDGER.mdb" ] || "$admin" init "$data/OBSLEDGER.mdb" --demo
        "$admin" set-path "$data/OBSLEDGER.mdb"
    fi
    # The tariff and rates files live beside the program; missing ones get the usual values.
    "$admin" files "${OBSLEDGER_APPDIR:-$build/bin}"
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "Aucun écran graphique (DISPLAY n'est pas défini)." >&2
        echo "Sur une machine sans écran, lancez le programme sous Xvfb :" >&2
        echo "    xvfb-run -a bash scripts/obsledger.sh run" >&2
        exit 2
    fi
    exec "$build/bin/obsledger"
}

# Every source follows the committed .clang-format.
check_format() {
    local files
    mapfile -t files < <(cd "$root" && git ls-files -- '*.cpp' '*.h' 2>/dev/null || find src tests tools bench fuzz -name '*.cpp' -o -name '*.h')
    (cd "$root" && clang-format --dry-run --Werror "${files[@]}") ||
        { echo "Mise en forme : lancez clang-format -i sur les fichiers ci-dessus." >&2; exit 1; }
}

# Makes the Debian package and names it in $deb.
build_package() {
    local log
    log=$(cd "$build" && cpack -G DEB) || { echo "$log" >&2; exit 1; }
    echo "$log"
    deb=$(echo "$log" | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p')
    [ -f "$deb" ] || { echo "Le paquet Debian n'a pas été produit." >&2; exit 1; }
}

# A throw-away PostgreSQL 15 server for the tests: its own folder, a Unix socket there and no TCP,
# stopped and removed at the end even when a test fails. initdb refuses root: as root, the server
# runs as the "postgres" user the Debian package creates. The tests find it in OBSLEDGER_TEST_SERVER.
pg_bin=/usr/lib/postgresql/15/bin
pg_dir=
pg_as=()
stop_test_server() {
    [ -n "$pg_dir" ] || return 0
    "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -m fast stop >/dev/null 2>&1 || true
    rm -rf "$pg_dir"
    pg_dir=
}
start_test_server() {
    pg_dir=$(mktemp -d /tmp/obsledger-pg.XXXXXX)
    trap stop_test_server EXIT
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres "$pg_dir"
        pg_as=(runuser -u postgres --)
    fi
    "${pg_as[@]}" "$pg_bin/initdb" -D "$pg_dir/data" -A trust -U postgres -E UTF8 >"$pg_dir/initdb.log" 2>&1 ||
        { cat "$pg_dir/initdb.log" >&2; exit 1; }
    "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -o "-k $pg_dir -c listen_addresses=''" -l "$pg_dir/server.log" \
        -w start >/dev/null || { cat "$pg_dir/server.log" >&2; exit 1; }
    export OBSLEDGER_TEST_SERVER="host=$pg_dir user=postgres"
    echo "Serveur PostgreSQL de test : $OBSLEDGER_TEST_SERVER"
}

case "${1:-}" in
run)
    install_missing
    build_all -DOBSLEDGER_BENCH=OFF
    run_program
    ;;
test)
    install_missing
    check_format
    build_all -DOBSLEDGER_BENCH=ON
    # The server stays up for the sanitizer run below too; the exit trap stops it.
    start_test_server
    # Under a print server of the tests' own, with a PDF printer as the default destination.
    (cd "$build" && bash "$root/scripts/with-pdf-printer.sh" ctest --output-on-failure --parallel "$(nproc)")
    build_package
    bash "$root/packaging/check-package.sh" "$deb"
    # The same tests under the sanitizers, then the fuzz targets for a bounded time.
    bash "$root/scripts/reliability.sh"
    ;;
package)
    install_missing
    build_all -DOBSLEDGER_BENCH=OFF
    build_package
    echo "Paquet : $deb (installation : sudo apt install $deb)"
    ;;
*)
    echo "Utilisation : $0 run|test|package" >&2
    exit 2
    ;;
esac
