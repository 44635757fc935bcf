#!/usr/bin/env bash
# Installs every Debian package listed in packages.txt (needs root or sudo).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
mapfile -t pkgs < <(grep -v '^\s*#' "$here/packages.txt" | grep -v '^\s*$')
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${pkgs[@]}" >/dev/null
