#!/usr/bin/env bash
# Installs what is missing, builds, and opens the desktop program in a working folder
# whose dizivu.ini selects the built-in emulator: press "Подключить" and it is connected.
# Without a display it runs a headless demonstration instead: registrar-emulator on a
# pseudo-terminal, commands 0x28 and 0x80 sent with dizivu-cli, and the replies printed.
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

port=$(mktemp -u /tmp/dizivu-registrar.XXXXXX)
build/emulator/registrar-emulator --link "$port" > /dev/null &
emulator=$!
trap 'kill $emulator 2>/dev/null; wait $emulator 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$port" ] && break; sleep 0.1; done

echo "No display: a headless demonstration instead of the window."
echo "(To open the window without a display: apt-get install xvfb, then xvfb-run ./run.sh)"
echo
echo "registrar-emulator at $port"
echo "dizivu-cli --port $port --startup send 28 '482913;' 80 '482913;'"
echo
build/cli/dizivu-cli --port "$port" --startup send 28 '482913;' 80 '482913;'
