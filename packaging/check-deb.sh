#!/usr/bin/env bash
# Usage: check-deb.sh <build-dir> [<out-dir>]
# Builds the Debian package with CPack from a configured and built tree (into <out-dir>,
# default <build-dir>/deb) and checks its control fields, dependencies and contents.
# Prints the path of the package on stdout; everything else goes to stderr.
set -euo pipefail

build=${1:?usage: check-deb.sh <build-dir> [<out-dir>]}
build=$(cd "$build" && pwd)
out=${2:-$build/deb}
mkdir -p "$out"
out=$(cd "$out" && pwd)

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate file; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool not found (see scripts/packages.txt)" >&2; exit 1; }
done
[ -f "$build/CPackConfig.cmake" ] || { echo "FAIL: $build is not a configured build tree" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A package left from an earlier run must not stand in for this one.
rm -f "$out"/velorin_*.deb
if ! (cd "$build" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out") >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log" >&2
  echo "FAIL: cpack -G DEB failed" >&2
  exit 1
fi
debs=("$out"/velorin_*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: expected one velorin_*.deb in $out, found: ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
field() { dpkg-deb -f "$deb" "$1"; }

[ "$(field Package)" = velorin ] || fail "Package is '$(field Package)', not velorin"
[ "$(field Section)" = sound ] || fail "Section is '$(field Section)', not sound"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"

depends=$(field Depends)
recommends=$(field Recommends)
echo "Depends: $depends" >&2
echo "Recommends: $recommends" >&2

# True when one comma-separated relation of $1 names a package matching the regex $2.
declares() {
  tr ',|' '\n\n' <<<"$1" | sed 's/(.*)//; s/\[.*\]//; s/^ *//; s/ *$//' | grep -Eqx "$2"
}
declares "$depends" 'libqt6widgets6(t64)?' || fail "Depends lacks the Qt 6 widgets library"
declares "$depends" 'libfluidsynth[0-9]+(t64)?' || fail "Depends lacks FluidSynth"
declares "$depends" 'librtmidi[0-9]+(t64)?' || fail "Depends lacks RtMidi"
declares "$depends" 'timgm6mb-soundfont' || fail "Depends lacks the General MIDI SoundFont"
declares "$depends" 'fonts-wqy-microhei' || fail "Depends lacks the CJK font"
declares "$recommends" 'pipewire-pulse|pulseaudio' || fail "Recommends names no sound server"

dpkg-deb -c "$deb" | awk '{print $NF}' >"$tmp/contents"
for f in ./usr/bin/velorin ./usr/share/applications/velorin.desktop ./usr/share/icons/hicolor/scalable/apps/velorin.svg; do
  grep -qxF "$f" "$tmp/contents" || fail "package lacks $f"
done
if grep -v '^\./usr/' "$tmp/contents" | grep -qvx '\./'; then
  fail "package installs outside /usr: $(grep -v '^\./usr/' "$tmp/contents" | grep -vx '\./' | tr '\n' ' ')"
fi

dpkg-deb -x "$deb" "$tmp/root"
if [ -f "$tmp/root/usr/share/applications/velorin.desktop" ]; then
  desktop-file-validate "$tmp/root/usr/share/applications/velorin.desktop" >&2 \
    || fail "packaged desktop entry does not validate"
fi
if [ -f "$tmp/root/usr/bin/velorin" ]; then
  if file -b "$tmp/root/usr/bin/velorin" | grep -q 'not stripped'; then
    fail "packaged program is not stripped"
  fi
fi

# Every relation must be satisfiable from this machine's archive, as apt would on install.
if command -v apt-get >/dev/null; then
  if ! apt-get install -s -q "$deb" >"$tmp/apt.log" 2>&1; then
    fail "apt-get cannot resolve the package's relations: $(grep -E '^ |^E:' "$tmp/apt.log" | tr '\n' ' ')"
  fi
fi

[ "$failures" -eq 0 ] || exit 1
echo "package checked: $deb" >&2
echo "$deb"
