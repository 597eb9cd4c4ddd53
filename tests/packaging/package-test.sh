#!/usr/bin/env bash
# The Debian package as `make package` builds it: its file list, a dependency for every shared
# library the program links (by the package that ships that library here) and for the run-time
# plugins and font, dependencies that Debian 12's archive can satisfy (apt-get --simulate), and
# the package's program, unpacked into a scratch root, starting on a clip and ending cleanly.
# Usage: package-test.sh BUILD_DIR CLIP
set -euo pipefail
build=$1 clip=$2
id=org.tetrav.Tetrav
work=$(mktemp -d /tmp/tetrav-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# shellcheck source=tests/packaging/run-lib.sh
. "$(dirname "$0")/run-lib.sh"

(cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/tetrav_*.deb)
[ -f "$deb" ] || fail "no package"
echo "package: $(basename "$deb")"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
for f in /usr/bin/tetrav /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml \
    /usr/share/icons/hicolor/48x48/apps/$id.png /usr/share/icons/hicolor/scalable/apps/$id.svg \
    /usr/share/man/man1/tetrav.1.gz /usr/share/bash-completion/completions/tetrav; do
    grep -qx "$f" "$work/files" || fail "$f is not in the package"
done
if grep -q '^/usr/share/tetrav/help/' "$work/files"; then
    grep -qx /usr/share/tetrav/help/index.html "$work/files" || fail "help without index.html"
fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
names=" $(echo "$depends" | tr ',' '\n' | sed 's/(.*)//; s/|.*//; s/ //g' | tr '\n' ' ') "
has() { case "$names" in *" $1 "*) return 0 ;; esac; return 1; }
# What the program loads without linking it.
for p in qt6-qpa-plugins gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad \
    gstreamer1.0-plugins-ugly gstreamer1.0-libav fonts-wqy-microhei; do
    has "$p" || fail "$p is not a dependency"
done

# Every library the program links comes from a package it depends on.
dpkg -x "$deb" "$work/root"
program=$work/root/usr/bin/tetrav
for lib in $(objdump -p "$program" | awk '$1 == "NEEDED" {print $2}'); do
    path=$(ldconfig -p | awk -v l="$lib" '$1 == l && /x86-64|64bit/ {print $NF}' | head -n1 || true)
    [ -n "$path" ] || path=$(ldconfig -p | awk -v l="$lib" '$1 == l {print $NF}' | head -n1 || true)
    [ -n "$path" ] || fail "$lib is not on this system"
    real=$(readlink -f "$path")
    owner=$(dpkg -S "$real" 2>/dev/null || dpkg -S "$path" 2>/dev/null || true)
    owner=${owner%%:*}
    [ -n "$owner" ] || fail "no package owns $lib"
    has "$owner" || fail "$lib comes from $owner, which is not a dependency"
done

# The archive can satisfy the dependencies.
apt-get install --simulate -qq "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get cannot satisfy the dependencies"; }

# The package's own program runs from the scratch root.
runs_and_ends_cleanly "$program" "$clip" packaged
