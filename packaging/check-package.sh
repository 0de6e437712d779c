#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks a built Debian package: its contents, its control fields, lintian, then the programs
# unpacked into a temporary root and started there, offscreen, on a demo database, as a user
# who cannot write into the programs' folder.
#   packaging/check-package.sh build/obsledger_2.0.0_amd64.deb
set -euo pipefail

deb=$(realpath "$1")
failures=0
fail() { echo "ÉCHEC : $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok : $*"; }

work=$(mktemp -d)
child=
cleanup() {
    if [ -n "$child" ]; then
        kill "$child" 2>/dev/null || true
        wait "$child" 2>/dev/null || true
    fi
    chmod -R u+w "$work" 2>/dev/null || true # the programs' folder was made read-only
    rm -rf "$work"
}
trap cleanup EXIT

# --- contents -------------------------------------------------------------------------------
dpkg-deb -c "$deb" | awk '{print $1 " " $NF}' | sed 's# \./# /#' > "$work/contents"
expect_file() { # MODE PATH
    grep -qxF -- "$1 $2" "$work/contents" && ok "$2" || fail "$2 manque ou n'a pas les droits $1"
}
expect_file -rwxr-xr-x /usr/bin/obsledger
expect_file -rwxr-xr-x /usr/bin/obsledger-admin
expect_file -rw-r--r-- /usr/share/applications/obsledger.desktop
expect_file -rw-r--r-- /usr/share/metainfo/obsledger.metainfo.xml
expect_file -rw-r--r-- /usr/share/icons/hicolor/scalable/apps/obsledger.svg
for size in 16 22 24 32 48 64 128 256 512; do
    expect_file -rw-r--r-- "/usr/share/icons/hicolor/${size}x${size}/apps/obsledger.png"
done
expect_file -rw-r--r-- /usr/share/man/man1/obsledger.1.gz
expect_file -rw-r--r-- /usr/share/man/man1/obsledger-admin.1.gz
expect_file -rw-r--r-- /usr/share/doc/obsledger/README.md
expect_file -rw-r--r-- /usr/share/doc/obsledger/copyright
expect_file -rw-r--r-- /usr/share/doc/obsledger/changelog.gz
if grep -v ' /usr/' "$work/contents" | grep -vqx 'drwxr-xr-x /'; then
    fail "fichiers hors de /usr : $(grep -v ' /usr/' "$work/contents" | tr '\n' ' ')"
fi

# --- control fields ---------------------------------------------------------------------------
name=$(basename "$deb")
version=$(dpkg-deb -f "$deb" Version)
[ "$name" = "obsledger_${version}_amd64.deb" ] && ok "nom $name" || fail "nom $name pour la version $version"
[ "$(dpkg-deb -f "$deb" Package)" = obsledger ] || fail "le paquet ne s'appelle pas obsledger"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "architecture autre que amd64"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in qt6-translations-l10n qt6-qpa-plugins libpq5 libqt6widgets6 libqt6printsupport6 libqt6charts6 libsqlite3-0 libc6; do
    [[ ", $depends," == *", $dep"[\ ,]* ]] && ok "dépend de $dep" || fail "ne dépend pas de $dep ($depends)"
done

# --- lintian ----------------------------------------------------------------------------------
if command -v lintian >/dev/null; then
    as_root=()
    [ "$(id -u)" -eq 0 ] && as_root=(--allow-root)
    if lintian "${as_root[@]}" --fail-on error "$deb" > "$work/lintian" 2>&1; then
        ok "lintian : aucune erreur"
    else
        fail "lintian signale des erreurs"
    fi
    sed 's/^/    /' "$work/lintian"
else
    fail "lintian n'est pas installé"
fi

# --- unpacked files -------------------------------------------------------------------------
root="$work/racine"
dpkg-deb -x "$deb" "$root"
desktop="$root/usr/share/applications/obsledger.desktop"
grep -qx 'Categories=Office;Finance;' "$desktop" || fail "Categories du .desktop"
grep -qx 'Exec=obsledger' "$desktop" || fail "Exec du .desktop"
grep -qx 'Icon=obsledger' "$desktop" || fail "Icon du .desktop"
grep -q '^Comment=.*[éèà]' "$desktop" || fail "le commentaire du .desktop n'est pas en français"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" && ok "desktop-file-validate" || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$root/usr/share/metainfo/obsledger.metainfo.xml" > "$work/appstream" 2>&1 || true
    grep -q '^E:' "$work/appstream" && fail "métadonnées AppStream : $(grep '^E:' "$work/appstream")" \
        || ok "métadonnées AppStream sans erreur"
fi
for page in obsledger obsledger-admin; do
    gz="$root/usr/share/man/man1/$page.1.gz"
    gzip -t "$gz" || fail "$page.1.gz n'est pas un fichier gzip"
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$gz" 2>&1 >/dev/null) || fail "man $page"
    [ -z "$out" ] && ok "page de manuel $page" || fail "page de manuel $page : $out"
done
# Every text that names the version names the package's.
changes=$(zcat "$root/usr/share/doc/obsledger/changelog.gz" | dpkg-parsechangelog -l - -S Version)
[ "$changes" = "$version" ] && ok "changelog $changes" || fail "le changelog commence à la version $changes"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/obsledger.metainfo.xml" \
    && ok "AppStream : version $version" || fail "AppStream ne décrit pas la version $version"
for page in obsledger obsledger-admin; do
    zcat "$root/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH .*\"Obsledger $version\"" \
        || fail "la page de manuel $page ne porte pas la version $version"
done
for png in "$root"/usr/share/icons/hicolor/*/apps/obsledger.png; do
    dir=$(basename "$(dirname "$(dirname "$png")")") # 48x48 or 48x48@2
    side=${dir%%x*}
    [[ $dir == *@2 ]] && side=$((side * 2))
    file "$png" | grep -q "PNG image data, $side x $side," || fail "$png : $(file -b "$png")"
done
ok "tailles des icônes"
for prog in obsledger obsledger-admin; do
    missing=$(ldd "$root/usr/bin/$prog" | grep 'not found' || true)
    [ -z "$missing" ] || fail "$prog : bibliothèques introuvables : $missing"
done

# --- the installed programs at work ---------------------------------------------------------
# As a plain user: the programs' folder is then read-only, as /usr/bin is on a workstation.
chmod 755 "$work" && chmod -R a-w "$root/usr/bin"
home="$work/maison"
mkdir -p "$home" "$work/run"
run_as=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody:nogroup "$home" "$work/run"
    run_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
chmod 700 "$work/run"
user_env=(env -i "PATH=/usr/bin:/bin" "HOME=$home" "XDG_CONFIG_HOME=$home/.config" "XDG_DATA_HOME=$home/.local/share"
          "XDG_RUNTIME_DIR=$work/run" "LANG=C.UTF-8" "QT_QPA_PLATFORM=offscreen")
as_user() { "${run_as[@]}" "${user_env[@]}" "$@"; }
bin="$root/usr/bin"
base="$home/compta/OBSLEDGER.mdb"
as_user mkdir -p "$home/compta"
as_user "$bin/obsledger-admin" init "$base" --demo >/dev/null || fail "obsledger-admin init --demo"
as_user "$bin/obsledger-admin" set-path "$base" >/dev/null || fail "obsledger-admin set-path"
as_user "$bin/obsledger-admin" check "$base" >/dev/null && ok "base de démonstration" || fail "obsledger-admin check"
as_user "$bin/obsledger" --version | grep -qx "obsledger version $version" && ok "obsledger --version" \
    || fail "obsledger --version"
as_user "$bin/obsledger-admin" --version | grep -qx "obsledger-admin version $version" \
    && ok "obsledger-admin --version" || fail "obsledger-admin --version"

# Started straight, not through as_user: the shell function would run in a subshell of its own,
# and $! would name that subshell, leaving the program alive when it is stopped. setpriv and env
# each give their process to the next, so $! is the program itself.
"${run_as[@]}" "${user_env[@]}" "$bin/obsledger" > "$work/out" 2> "$work/err" &
child=$!
sleep 5
if kill -0 "$child" 2>/dev/null; then
    ok "obsledger tourne depuis 5 secondes"
    kill "$child"
    wait "$child" 2>/dev/null || true
    kill -0 "$child" 2>/dev/null && fail "obsledger tourne encore après son arrêt" || ok "obsledger arrêté"
else
    wait "$child" && code=0 || code=$?
    fail "obsledger s'est arrêté (code $code)"
fi
child=
# The offscreen window system says what it cannot do; anything else is a fault.
if grep -v 'This plugin does not support' "$work/err" | grep -q .; then
    fail "obsledger a écrit sur la sortie d'erreur :"
    sed 's/^/    /' "$work/err" >&2
else
    ok "rien sur la sortie d'erreur"
fi
for f in tarifs.cmt taux.cmt; do
    [ -s "$home/.local/share/obsledger/$f" ] && ok "$f créé dans ~/.local/share/obsledger" \
        || fail "$f absent de ~/.local/share/obsledger"
done

if [ "$failures" -ne 0 ]; then
    echo "Paquet $name : $failures contrôle(s) en échec." >&2
    exit 1
fi
echo "Paquet $name : tous les contrôles sont passés."
