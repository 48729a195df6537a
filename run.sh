#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program on the emulator. Until the
# desktop program exists this is a headless demonstration: registrar-emulator on a
# pseudo-terminal, commands 0x28 and 0x80 sent with dizivu-cli, and the replies printed.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

ensure_packages "${BASE_PACKAGES[@]}"
configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo

port=$(mktemp -u /tmp/dizivu-registrar.XXXXXX)
build/emulator/registrar-emulator --link "$port" > /dev/null &
emulator=$!
trap 'kill $emulator 2>/dev/null; wait $emulator 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$port" ] && break; sleep 0.1; done

echo "registrar-emulator at $port"
echo "dizivu-cli --port $port --startup send 28 '482913;' 80 '482913;'"
echo
build/cli/dizivu-cli --port "$port" --startup send 28 '482913;' 80 '482913;'
