#!/usr/bin/env bash
# Installs what is missing, builds, and opens the desktop program in a working folder
# whose dizivu.ini selects the built-in emulator: press "Подключить" and it is connected.
# Without a display it runs a headless tour instead: registrar-emulator on a
# pseudo-terminal, then dizivu-cli identifies it, sells a receipt from examples/receipt.json,
# prints an X report, and the emulator's paper tape is shown.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

ensure_packages "${BASE_PACKAGES[@]}"
configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    work=build/run
    mkdir -p "$work"
    if [ ! -f "$work/dizivu.ini" ]; then
        # The settings file is in the registrar's code page (Windows-1251).
        { printf '[Communication]\r\nPort='; printf 'Эмулятор регистратора' | iconv -f UTF-8 -t CP1251; printf '\r\nSpeed=115200\r\n'; } \
            > "$work/dizivu.ini"
    fi
    cd "$work"
    exec ../dizivu
fi

# Without a display: a short tour of the real work on registrar-emulator, each step with
# the dizivu-cli command that does it, to copy.
work=$(mktemp -d "${TMPDIR:-/tmp}/dizivu-tour.XXXXXX")
port=$work/registrar
tape=$work/tape.txt
build/emulator/registrar-emulator --link "$port" --tape "$tape" > /dev/null &
emulator=$!
trap 'kill $emulator 2>/dev/null; wait $emulator 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -e "$port" ] && break; sleep 0.1; done
[ -e "$port" ] || { echo "registrar-emulator did not start" >&2; exit 1; }

cli=build/cli/dizivu-cli
step() {
    local what=$1
    shift
    echo
    echo "== $what"
    echo "\$ $*"
    "$@"
}

echo "No display: a short tour on registrar-emulator instead of the window."
echo "(To open the window without a display: apt-get install xvfb, then xvfb-run ./run.sh)"
echo "The emulated registrar is at $port; its paper tape goes to $tape."
step "Identify the registrar (model, software version, serial number)" \
    "$cli" detect --ports "$port"
step "Sell one receipt from a file: two goods, paid 50.00 in cash, the change given" \
    "$cli" --port "$port" receipt examples/receipt.json
step "Print the X report (the day so far, the shift stays open)" \
    "$cli" --port "$port" report x
echo
echo "== What the registrar printed: its paper tape ($tape)"
cat "$tape"
