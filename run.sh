#!/usr/bin/env bash
# Installs what is missing, builds the program against Qt 6 and starts its
# window.  Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/install-deps.sh

# Printing goes to the system's default printer; start CUPS when it is not
# running (it keeps running after the program ends).
if ! pgrep -x cupsd >/dev/null 2>&1; then
    if [ "$(id -u)" -eq 0 ]; then cupsd; else sudo cupsd; fi
fi

dir=build/qt6
cmake -S . -B "$dir" -G Ninja -DQUORVANE_QT_MAJOR=6 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target Quorvane
exec "$dir/src/app/Quorvane" "$@"
