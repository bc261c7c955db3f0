#!/usr/bin/env bash
# Installs the Debian package into a clean root of the Debian release this
# machine runs (debootstrap), with apt taking its dependencies from the
# archive; runs quorvane-cli there (--version, and a print of a small
# workbook into PDF files); purges the package and checks that nothing of it
# is left.
#
# Usage: install-check.sh BUILD_DIR VERSION   the check (the .deb must be built)
#        install-check.sh --preflight         only whether it can run here
# Exits 77 with one "skipped: <why>" line when it cannot run here.
# Environment: QUORVANE_DEBIAN_MIRROR (default http://deb.debian.org/debian),
# QUORVANE_DEBIAN_SECURITY_MIRROR (default http://deb.debian.org/debian-security),
# QUORVANE_KEEP_ROOT=1 to keep the root for a look afterwards.
set -euo pipefail

mirror=${QUORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
security_mirror=${QUORVANE_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}

skip() {
    echo "skipped: $*"
    exit 77
}

preflight() {
    [ "$(id -u)" -eq 0 ] || skip "not root (debootstrap, chroot and mount need root)"
    command -v debootstrap >/dev/null || skip "debootstrap is not installed"
    command -v dpkg-deb >/dev/null || skip "not a Debian system"
    # shellcheck disable=SC1091
    codename=$(. /etc/os-release && [ "${ID:-}" = debian ] && echo "${VERSION_CODENAME:-}") ||
        true
    [ -n "$codename" ] || skip "not a Debian system"
    local host port
    host=$(sed -E 's|^[a-z]+://||; s|[/:].*||' <<<"$mirror")
    case $mirror in https:*) port=443 ;; *) port=80 ;; esac
    timeout 10 bash -c "exec 3<>/dev/tcp/$host/$port" 2>/dev/null ||
        skip "no network to the Debian archive ($host)"
}

if [ "${1:-}" = --preflight ]; then
    preflight
    exit 0
fi

build=$(realpath "$1")
version=$2
deb="$build/quorvane_${version}_$(dpkg --print-architecture).deb"
preflight
if [ ! -f "$deb" ]; then
    echo "FAIL: $deb is missing (cpack -G DEB in $build makes it)"
    exit 1
fi

work="$build/packaging/install-check"
root="$work/root"
log="$work/log"
started=$SECONDS
step() { printf '[%4ds] %s\n' $((SECONDS - started)) "$*"; }
fail() {
    echo "FAIL: $*"
    exit 1
}
# Runs a command in the root, its output into the log; on failure the log's
# end is shown.
in_root() {
    if ! chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@" >>"$log" 2>&1; then
        tail -n 30 "$log"
        fail "in the root: $*"
    fi
}

mounts_below() { # mount points at or below $1, deepest first
    awk -v top="$1" '$5 == top || index($5, top "/") == 1 {print $5}' /proc/self/mountinfo |
        sort -r
}

release_root() {
    [ -d "$root" ] || return 0
    # Whatever was started in the root (the office, should a run hang) ends
    # with it.
    local proc
    for proc in /proc/[0-9]*; do
        if [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ]; then
            kill -9 "${proc#/proc/}" 2>/dev/null || true
        fi
    done
    local point
    for point in $(mounts_below "$root"); do
        umount "$point" 2>/dev/null || umount -l "$point"
    done
}

remove_root() {
    release_root
    if [ -n "$(mounts_below "$root")" ]; then
        echo "warning: $root is still mounted on; left in place"
        return
    fi
    rm -rf --one-file-system "$root"
}

finish() {
    local status=$?
    set +e
    if [ "${QUORVANE_KEEP_ROOT:-0}" = 1 ]; then
        release_root
        echo "root kept in $root"
    else
        remove_root
    fi
    exit $status
}

mkdir -p "$work"
remove_root # a root left by an earlier run that was killed
: >"$log"
trap finish EXIT
trap 'exit 130' INT TERM

step "debootstrap $codename (minbase) into $root"
debootstrap --variant=minbase "$codename" "$root" "$mirror" >>"$log" 2>&1 ||
    { tail -n 30 "$log"; fail "debootstrap"; }
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $codename main
deb $mirror $codename-updates main
deb $security_mirror $codename-security main
EOF
# No service is started in the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
mount -t proc proc "$root/proc"
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
in_root useradd --create-home --shell /bin/bash user

step "apt-get update; the package's dependencies from the archive"
in_root apt-get update
depends=$(dpkg-deb -f "$deb" Depends)
in_root apt-get satisfy -y --no-install-recommends "$depends"

# Everything under /usr, /etc and /opt before the package, to compare with
# what is there after it is purged.
snapshot() {
    (cd "$root" && find usr etc opt -xdev -printf '%y /%p\n' 2>/dev/null | sort)
}
before=$(snapshot)
packages_before=$(chroot "$root" dpkg-query -W -f '${Package}\n' | sort)

step "apt-get install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
in_root apt-get install -y --no-install-recommends "/tmp/$(basename "$deb")"
packages_after=$(chroot "$root" dpkg-query -W -f '${Package}\n' | sort)
added=$(comm -13 <(echo "$packages_before") <(echo "$packages_after") | tr '\n' ' ')
[ "$added" = "quorvane " ] || fail "installing added more than quorvane: $added"
installed=$(chroot "$root" dpkg -L quorvane)

step "quorvane-cli and Quorvane in the root"
# As a user of the root, with no CUPS server (none runs there; the host's is
# not asked).
as_user() {
    chroot --userspec=user:user "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/home/user \
        LANG=C.UTF-8 CUPS_SERVER=/run/cups/cups.sock "$@"
}
for program in quorvane-cli Quorvane; do
    missing=$(chroot "$root" ldd "/usr/bin/$program" | grep 'not found' || true)
    [ -z "$missing" ] || fail "$program: libraries not found: $missing"
    got=$(as_user "$program" --version) || fail "$program --version: exit status $?"
    [ "$got" = "$program $version" ] || fail "$program --version: \"$got\""
done

books="$root/home/user/books"
mkdir -p "$books"
printf 'Region,Month,Sales\nNorth,Jan,1200\nSouth,Jan,950\nEast,Feb,1430\n' >"$books/sales.csv"
chroot "$root" chown -R user:user /home/user/books
if ! as_user timeout 300 quorvane-cli print /home/user/books --pdf /home/user/pdf >>"$log" 2>&1
then
    tail -n 20 "$log"
    fail "quorvane-cli print --pdf"
fi
pdfs=("$root"/home/user/pdf/*.pdf)
[ -f "${pdfs[0]}" ] || fail "quorvane-cli print --pdf wrote no PDF file"
for pdf in "${pdfs[@]}"; do
    if command -v pdfinfo >/dev/null; then
        pages=$(pdfinfo "$pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')
    else
        pages=$(grep -ac '/Type */Page[^s]' "$pdf" || true)
    fi
    [ "${pages:-0}" -ge 1 ] || fail "$(basename "$pdf") has no pages"
    step "  $(basename "$pdf"): $pages page(s)"
done

step "apt-get purge quorvane"
in_root apt-get purge -y quorvane
status=$(chroot "$root" dpkg-query -W -f '${db:Status-Abbrev}' quorvane 2>/dev/null || true)
[ -z "$status" ] || [ "$status" = "un " ] || fail "dpkg still knows quorvane: \"$status\""
left=""
while IFS= read -r path; do
    if [ -z "$path" ] || [ "$path" = /. ]; then
        continue
    fi
    if [ -e "$root$path" ] || [ -L "$root$path" ]; then
        # Folders that were there before (as /usr/bin) stay.
        grep -qxF "d $path" <<<"$before" || left+=" $path"
    fi
done <<<"$installed"
[ -z "$left" ] || fail "left after purge:$left"
after=$(snapshot)
new=$(comm -13 <(echo "$before") <(echo "$after"))
gone=$(comm -23 <(echo "$before") <(echo "$after"))
[ -z "$new" ] || fail "new under /usr, /etc or /opt after purge: $(echo "$new" | head -n 20)"
[ -z "$gone" ] || fail "gone from /usr, /etc or /opt after purge: $(echo "$gone" | head -n 20)"

step "done: installed $(wc -l <<<"$installed") paths, purged without a trace"
echo "1 passed, 0 failed"
