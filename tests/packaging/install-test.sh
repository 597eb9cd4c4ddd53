#!/usr/bin/env bash
# `cmake --install` into a temporary prefix: every file lands where the desktop looks for it,
# the desktop entry and the AppStream metainfo pass their validators, the entry's MimeType
# covers every container the file-open dialog offers, and the installed program starts on a
# clip (on the X server of the test run) and ends cleanly.
# Usage: install-test.sh BUILD_DIR SOURCE_DIR CLIP
set -euo pipefail
build=$1 source=$2 clip=$3
id=org.tetrav.Tetrav
work=$(mktemp -d /tmp/tetrav-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }
# shellcheck source=tests/packaging/run-lib.sh
. "$(dirname "$0")/run-lib.sh"

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }

# Where the desktop looks.
[ -x "$prefix/bin/tetrav" ] || fail "bin/tetrav missing or not executable"
desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
[ -f "$desktop" ] || fail "$desktop missing"
[ -f "$metainfo" ] || fail "$metainfo missing"
for size in 16 22 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    [ -f "$png" ] || fail "$png missing"
    # An icon in the NxN folder must be N x N pixels (the PNG header's width and height).
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [ "$dims" = "${size}x${size}" ] || fail "$png is $dims"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "scalable icon missing"
if [ -d "$source/help" ]; then
    [ -f "$prefix/share/tetrav/help/index.html" ] || fail "help not installed beside the program"
fi

# The manual page: renders without a warning, names the version the program prints and every
# option of its --help; the bash completion offers the same options and completes their values.
man=$prefix/share/man/man1/tetrav.1.gz
[ -f "$man" ] || fail "$man missing"
gzip -t "$man" || fail "$man is not gzip"
zcat "$man" | groff -ww -man -Tutf8 >"$work/man.txt" 2>"$work/man.warnings" || fail "groff"
[ ! -s "$work/man.warnings" ] || { cat "$work/man.warnings"; fail "the manual page has warnings"; }
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/tetrav" --help) || fail "tetrav --help"
version=$(env -u DISPLAY "$prefix/bin/tetrav" --version) || fail "tetrav --version"
zcat "$man" | head -n1 | grep -qF "\"$version\"" || fail "the manual page's version is not '$version'"
options=$(grep -oE -- '--[a-z]+(-[a-z]+)*' <<<"$help" | sort -u)
[ "$(wc -l <<<"$options")" -ge 9 ] || fail "too few options in --help: $options"
completion=$prefix/share/bash-completion/completions/tetrav
[ -f "$completion" ] || fail "$completion missing"
complete_words() { # the completions bash offers for the words given (the last one being typed)
    bash -c '. "$1"; shift; COMP_WORDS=(tetrav "$@"); COMP_CWORD=$#; _tetrav; printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$completion" "$@"
}
for o in $options; do
    zcat "$man" | grep -qF -- "\-\-${o#--}" || fail "the manual page lacks $o"
    complete_words "$o" | grep -qx -- "$o" || fail "the completion lacks $o"
done
[ "$(complete_words --sync '' | tr '\n' ' ')" = "frame time " ] || fail "--sync values: $(complete_words --sync '')"
[ "$(complete_words --rate '' | tr '\n' ' ')" = "0.25 1 2 " ] || fail "--rate values"
mkdir "$work/files"
touch "$work/files/a.MP4" "$work/files/b.txt" "$work/files/s.tetravset"
offered=$(complete_words "$work/files/" | sort | tr '\n' ' ')
[ "$offered" = "$work/files/a.MP4 $work/files/s.tetravset " ] || fail "file completion offers: $offered"

# Validators, on the installed files.
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree"

# The entry starts the installed program with the files it is given, names its icon, and lists
# a media type for every container of the open dialog's first filter.
grep -qx 'Exec=tetrav %F' "$desktop" || fail "Exec line"
grep -qx "Icon=$id" "$desktop" || fail "Icon line"
grep -qx 'Categories=AudioVideo;Video;Player;' "$desktop" || fail "Categories line"
mimes=";$(sed -n 's/^MimeType=//p' "$desktop")"
filter=$(grep -o '"\*\.mpeg;[^|]*|' "$source/src/dialogs/CFileSelectDlg.cpp" | tr -d '"|')
[ -n "$filter" ] || fail "the open dialog's first filter was not found"
for pattern in ${filter//;/ }; do
    ext=${pattern#*.}
    types=$(awk -F: -v g="*.$ext" '$3 == g {print $2}' /usr/share/mime/globs2 | sort -u)
    [ -n "$types" ] || fail ".$ext has no media type on this system"
    found=
    for t in $types; do
        case "$mimes" in *";$t;"*) found=$t ;; esac
    done
    [ -n "$found" ] || fail ".$ext ($types) is not in the entry's MimeType"
done

# The saved sets' media type: its package is understood by update-mime-database, which files
# *.tetravset under it, and the entry offers to open it.
update-mime-database "$prefix/share/mime" || fail "update-mime-database on the installed package"
grep -q ':application/x-tetravset:\*\.tetravset$' "$prefix/share/mime/globs2" || fail "*.tetravset not mapped"
case "$mimes" in *";application/x-tetravset;"*) ;; *) fail "the entry's MimeType lacks application/x-tetravset" ;; esac

# The installed program runs, on its own runtime and configuration folders, and ends on SIGTERM.
runs_and_ends_cleanly "$prefix/bin/tetrav" "$clip" installed
echo "installed tree:"
(cd "$prefix" && find . -type f | sort)
