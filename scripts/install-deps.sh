#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are missing.
# Usage: install-deps.sh build|test   ("test" installs both groups)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
want=${1:-build}

groups="build"
[ "$want" = test ] && groups="build test"

missing=()
while read -r group pkg; do
    case "$group" in ''|\#*) continue ;; esac
    [[ " $groups " == *" $group "* ]] || continue
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$pkg")
done < "$here/packages.txt"

[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
