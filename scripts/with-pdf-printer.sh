#!/usr/bin/env bash
# Runs a command with a PDF printer of its own as the default printer:
#   scripts/with-pdf-printer.sh COMMAND [ARG...]
# A private CUPS server (cupsd, with its configuration, spool and logs in a temporary folder,
# listening on a Unix socket there) gets one cups-pdf queue, "ObsledgerPDF", made the default
# destination. The command sees CUPS_SERVER pointing at that socket and OBSLEDGER_TEST_PRINTER_OUT
# naming the folder where the printed PDF files land. The machine's own CUPS is never touched: the
# server runs in a mount namespace of its own where /etc/cups is the temporary configuration folder
# (cups-pdf reads its settings from /etc/cups only). The server is stopped and the folder removed
# however the command ends.
# Needs root (cupsd, the cups-pdf backend, the mount namespace) and the Debian packages cups and
# printer-driver-cups-pdf. Without them the command runs all the same, without the printer, and the
# tests that need it say they are skipped.
set -euo pipefail
[ -n "${OBSLEDGER_CUPS_DEBUG:-}" ] && set -x

[ $# -ge 1 ] || { echo "Utilisation : $0 COMMANDE [ARGUMENTS...]" >&2; exit 2; }

why_not=""
if [ "$(id -u)" -ne 0 ]; then
    why_not="il faut être root"
elif ! command -v cupsd >/dev/null || ! [ -x /usr/lib/cups/backend/cups-pdf ]; then
    why_not="paquets cups et printer-driver-cups-pdf absents"
elif ! command -v unshare >/dev/null || ! unshare --mount --propagation private true 2>/dev/null; then
    why_not="pas d'espace de montage privé (unshare)"
fi
if [ -n "$why_not" ]; then
    echo "Imprimante PDF de test non démarrée : $why_not." >&2
    exec "$@"
fi

tmp=$(mktemp -d /tmp/obsledger-cups.XXXXXX)
cupsd_pid=""
stop() {
    if [ -n "$cupsd_pid" ]; then
        kill "$cupsd_pid" 2>/dev/null || true
        wait "$cupsd_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap stop EXIT
trap 'exit 130' INT TERM

# The filters run as lp: they must reach the spool through the folder.
chmod 755 "$tmp"
mkdir -p "$tmp/etc/ppd" "$tmp/spool/tmp" "$tmp/cache" "$tmp/state" "$tmp/log" "$tmp/out" "$tmp/pdf-spool"
chmod 755 "$tmp/etc" "$tmp/cache" "$tmp/state" "$tmp/log"
chmod 1777 "$tmp/out" "$tmp/pdf-spool"
socket="$tmp/cups.sock"

cat >"$tmp/etc/cups-files.conf" <<EOF
ServerRoot $tmp/etc
RequestRoot $tmp/spool
TempDir $tmp/spool/tmp
CacheDir $tmp/cache
StateDir $tmp/state
ErrorLog $tmp/log/error_log
AccessLog $tmp/log/access_log
PageLog $tmp/log/page_log
FileDevice No
User lp
Group lp
SystemGroup root lpadmin
EOF
cat >"$tmp/etc/cupsd.conf" <<EOF
LogLevel warn
Listen $socket
Browsing Off
BrowseLocalProtocols none
WebInterface No
DefaultAuthType None
DefaultShared No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
EOF
cat >"$tmp/etc/cups-pdf-ObsledgerPDF.conf" <<EOF
Out $tmp/out
AnonDirName $tmp/out
Spool $tmp/pdf-spool
Label 0
Grp root
Log $tmp/log
LogType 3
EOF
# The same settings under the name cups-pdf takes when the URI names no queue.
cp "$tmp/etc/cups-pdf-ObsledgerPDF.conf" "$tmp/etc/cups-pdf.conf"
touch "$tmp/etc/printers.conf" "$tmp/etc/classes.conf"

unshare --mount --propagation private \
    sh -c 'mount --bind "$1" /etc/cups && exec cupsd -f -c "$1/cupsd.conf" -s "$1/cups-files.conf"' \
    cupsd-prive "$tmp/etc" &
cupsd_pid=$!

export CUPS_SERVER="$socket"
for _ in $(seq 1 100); do
    [ -S "$socket" ] && lpstat -r 2>/dev/null | grep -q "is running" && break
    kill -0 "$cupsd_pid" 2>/dev/null || break
    sleep 0.1
done
if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    echo "Le serveur CUPS de test n'a pas démarré :" >&2
    cat "$tmp/log/error_log" >&2 2>/dev/null || true
    exit 1
fi
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
[ -f "$ppd" ] || ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd
lpadmin -p ObsledgerPDF -v cups-pdf:/ObsledgerPDF -P "$ppd" -E
# The PDF sent by the program becomes PostScript for cups-pdf: rendered by cairo, its text keeps
# its letters (the default renderer turns TrueType text into shapes that read as nothing).
lpadmin -p ObsledgerPDF -o pdftops-renderer-default=pdftocairo
lpadmin -d ObsledgerPDF
export OBSLEDGER_TEST_PRINTER_OUT="$tmp/out"
echo "Imprimante PDF de test : $(lpstat -d) (fichiers dans $tmp/out)"

set +e
"$@"
rc=$?
set -e
exit "$rc"
