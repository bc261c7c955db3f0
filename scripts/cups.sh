#!/usr/bin/env bash
# Starts cupsd with a cups-pdf printer as the default printer, or stops it.
#   scripts/cups.sh start   prints the folder the PDF printer writes into
#   scripts/cups.sh stop
# Needs root (or sudo).
set -euo pipefail

PRINTER=QuorvanePDF
OUTDIR=/var/spool/cups-pdf/quorvane

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

running() { pgrep -x cupsd >/dev/null 2>&1; }

case "${1:-start}" in
start)
    # cups-pdf writes every job, whoever sent it, into one known folder.
    conf=/etc/cups/cups-pdf.conf
    if ! grep -q "^Out $OUTDIR\$" "$conf"; then
        $SUDO sed -i -e '/^Out /d' -e '/^AnonDirName /d' "$conf"
        echo "Out $OUTDIR" | $SUDO tee -a "$conf" >/dev/null
        echo "AnonDirName $OUTDIR" | $SUDO tee -a "$conf" >/dev/null
    fi
    $SUDO mkdir -p "$OUTDIR"
    # The folder holds only what the test printer wrote; start it empty.
    $SUDO find "$OUTDIR" -maxdepth 1 -name '*.pdf' -delete
    if ! running; then
        $SUDO cupsd
    fi
    for _ in $(seq 1 100); do
        lpstat -r 2>/dev/null | grep -q 'is running' && break
        sleep 0.1
    done
    if ! lpstat -p "$PRINTER" >/dev/null 2>&1; then
        $SUDO lpadmin -p "$PRINTER" -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
    fi
    $SUDO cupsenable "$PRINTER" >/dev/null 2>&1 || true
    $SUDO cupsaccept "$PRINTER" >/dev/null 2>&1 || true
    $SUDO lpadmin -d "$PRINTER"
    echo "$OUTDIR"
    ;;
stop)
    if running; then
        $SUDO pkill -x cupsd || true
        for _ in $(seq 1 50); do running || break; sleep 0.1; done
    fi
    ;;
*)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
