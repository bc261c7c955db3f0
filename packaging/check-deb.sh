#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree with CPack and
# checks what it holds: its name, the files a user relies on, the
# dependencies on the office, CUPS and the linked libraries, and run paths
# that never name the current folder.
# Usage: check-deb.sh BUILD_DIR VERSION
set -uo pipefail
build=$1 version=$2
deb="$build/quorvane_${version}_$(dpkg --print-architecture).deb"

rm -f "$deb"
(cd "$build" && cpack -G DEB) || exit 1
if [ ! -f "$deb" ]; then
    echo "FAIL: $deb was not made"
    exit 1
fi

failures=0
checks=0
check() { # name, condition result (0 = holds)
    checks=$((checks + 1))
    if [ "$2" -ne 0 ]; then
        failures=$((failures + 1))
        echo "FAIL $1"
    fi
}

check "package name" "$([ "$(dpkg-deb -f "$deb" Package)" = quorvane ]; echo $?)"
check "package version" "$([ "$(dpkg-deb -f "$deb" Version)" = "$version" ]; echo $?)"

files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
for path in /usr/bin/Quorvane /usr/bin/quorvane-cli \
    /usr/share/man/man1/Quorvane.1.gz /usr/share/man/man1/quorvane-cli.1.gz \
    /usr/share/bash-completion/completions/quorvane-cli \
    /usr/share/applications/quorvane.desktop /usr/share/icons/hicolor/48x48/apps/quorvane.png; do
    check "holds $path" "$(grep -qx -- "$path" <<<"$files"; echo $?)"
done

# Depends, one package name per entry, versions and alternatives dropped.
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/[(|].*//; s/ //g')
for package in libreoffice-calc libreoffice-core cups-client libuno-sal3 libuno-cppu3 \
    libuno-cppuhelpergcc3-3 libqt6core6 libqt6widgets6; do
    check "depends on $package" "$(grep -qx -- "$package" <<<"$depends"; echo $?)"
done
check "no -nogui office (it cannot print)" "$(! grep -q nogui <<<"$depends"; echo $?)"

unpacked=$(mktemp -d)
staged=$(mktemp -d)
trap 'rm -rf "$unpacked" "$staged"' EXIT
dpkg-deb -x "$deb" "$unpacked"

# Every file the install rules put under the prefix is in the package (the
# translations, for one, have no rule of their own here).
DESTDIR=$staged cmake --install "$build" --prefix /usr >/dev/null
for path in $(cd "$staged" && find . ! -type d | sed 's|^\.||'); do
    check "holds $path (installed by cmake --install)" "$([ -e "$unpacked$path" ]; echo $?)"
done
for program in Quorvane quorvane-cli; do
    binary="$unpacked/usr/bin/$program"
    runpath=$(readelf -d "$binary" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
    check "$program: run path without empty entries ($runpath)" \
        "$([[ ":$runpath:" != *::* ]]; echo $?)"
    check "$program: stripped" "$(! readelf -S "$binary" | grep -q '\.debug_info'; echo $?)"
    page="$unpacked/usr/share/man/man1/$program.1.gz"
    check "$program(1) names the version" "$(zcat "$page" | grep -q "$program $version"; echo $?)"
done

echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
