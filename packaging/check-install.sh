#!/usr/bin/env bash
# Usage: check-install.sh <build-dir>
# Installs a built tree into a temporary prefix and checks the program, its menu entry and its icon.
set -euo pipefail

build=${1:?usage: check-install.sh <build-dir>}
build=$(cd "$build" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || {
  cat "$tmp/install.log" >&2
  fail "cmake --install failed"
  exit 1
}

bin=$prefix/bin/velorin
desktop=$prefix/share/applications/velorin.desktop
icon=$prefix/share/icons/hicolor/scalable/apps/velorin.svg

[ -x "$bin" ] || fail "program not installed as $bin"
[ -f "$desktop" ] || fail "desktop entry not installed as $desktop"
[ -f "$icon" ] || fail "icon not installed as $icon"
[ "$failures" -eq 0 ] || exit 1

file -b "$bin" | grep -q '^ELF .* executable' || fail "$bin is not an ELF executable: $(file -b "$bin")"
# A build-tree run path left in the installed program would load libraries from the build.
if readelf -d "$bin" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
  fail "installed program still has the build tree in its run path"
fi

file -b "$icon" | grep -q 'SVG' || fail "icon is not an SVG image: $(file -b "$icon")"

if ! desktop-file-validate "$desktop" >"$tmp/validate.log" 2>&1; then
  fail "desktop-file-validate rejected the entry: $(cat "$tmp/validate.log")"
elif [ -s "$tmp/validate.log" ]; then
  fail "desktop-file-validate warned: $(cat "$tmp/validate.log")"
fi

key() { sed -n "s/^$1=//p" "$desktop" | head -n1; }
[ "$(key Exec)" = "$(basename "$bin")" ] || fail "Exec=$(key Exec) does not start the installed $(basename "$bin")"
[ "$(key Icon)" = "$(basename "$icon" .svg)" ] || fail "Icon=$(key Icon) does not name the installed icon"
[ "$(key Type)" = Application ] || fail "Type is not Application"
[ -n "$(key Name)" ] || fail "no English Name"
[ -n "$(key 'Name\[zh_CN\]')" ] || fail "no Chinese Name[zh_CN]"
[ -n "$(key Comment)" ] || fail "no Comment"
categories=$(key Categories)
for c in AudioVideo Audio Music; do
  case ";$categories" in *";$c;"*) ;; *) fail "category $c missing from '$categories'" ;; esac
done

[ "$failures" -eq 0 ] || exit 1
echo "install into $prefix: program, desktop entry and icon are in place"
