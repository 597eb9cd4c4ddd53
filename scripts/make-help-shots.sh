#!/bin/sh
# Makes the screenshots of the help (help/images/*.png) from the running program: the desktop
# tests drive the real program on a private Xvfb through its menus and dialogs and keep the
# picture of each window they check. Usage: scripts/make-help-shots.sh [build-dir]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
mkdir -p "$root/help/images"
export TETRAV_HELP_SHOTS="$root/help/images"
"$root/scripts/run-tests.sh" "$build" -R 'e2e\.TetravDesktopTest\.(PlaysFourClipsFromTheCommandLine|OpensOnlyTheClipsPickedAndConfirmedInTheDialogs|OptionsAndAboutAreReachableThroughAccessibility)$'
ls -l "$root/help/images"
