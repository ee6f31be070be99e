#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and checks what a desktop gets: the program in
# a directory of its own, a command on the path, a valid desktop entry and its icon.
# check-install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d /tmp/qarvelle-install.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
program=$prefix/lib/qarvelle-login/qarvelle-login
entry=$prefix/share/applications/qarvelle-login.desktop
icon=$prefix/share/icons/hicolor/64x64/apps/qarvelle-login.png

[ -x "$program" ] || fail "no program at $program"
[ "$(readlink -f "$prefix/bin/qarvelle-login")" = "$(readlink -f "$program")" ] ||
    fail "bin/qarvelle-login does not lead to the program"
[ -f "$entry" ] || fail "no desktop entry"
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
grep -qx "Exec=$prefix/bin/qarvelle-login" "$entry" || fail "Exec is not the installed command"
grep -qx "Path=$prefix/lib/qarvelle-login" "$entry" || fail "Path is not the program's directory"
grep -qx "Icon=qarvelle-login" "$entry" || fail "Icon is not the installed icon's name"
file "$icon" | grep -q "PNG image data, 64 x 64" || fail "the icon is not a 64 x 64 PNG"
echo "installed and checked under $prefix"
