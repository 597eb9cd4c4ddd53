#!/usr/bin/env bash
# Runs every test through CTest under a private X server (Xvfb, 1280 x 1024) and a private
# D-Bus session bus, so nothing touches the user's desktop. Usage: run-tests.sh BUILD_DIR [ctest args]
set -euo pipefail
build=${1:-build}
shift || true
here=$(cd "$(dirname "$0")" && pwd)

# shellcheck source=scripts/xvfb-lib.sh
. "$here/xvfb-lib.sh"
xvfb_start 1280x1024x24
trap xvfb_stop EXIT

export QT_QPA_PLATFORM=xcb
export QT_ACCESSIBILITY=1
export NO_AT_BRIDGE=0
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/tetrav-runtime.XXXXXX)}
chmod 700 "$XDG_RUNTIME_DIR"
# Tests must never read or write the user's own settings.
export XDG_CONFIG_HOME=$(mktemp -d /tmp/tetrav-config.XXXXXX)
export XDG_STATE_HOME=$(mktemp -d /tmp/tetrav-state.XXXXXX)

# One test at a time by default: the tests share this X server, and pointer grabs, popups and
# focus of one test would disturb another. TEST_JOBS=2 runs two at once.
dbus-run-session -- ctest --test-dir "$build" --output-on-failure -j "${TEST_JOBS:-1}" "$@"
