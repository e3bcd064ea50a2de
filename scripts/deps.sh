#!/usr/bin/env bash
# Installs the Debian packages Nummernwerk needs to build, test and run, when
# any of them is missing. Usage: scripts/deps.sh [run|test]
set -euo pipefail
# libphonenumber-dev, libicu-dev and libabsl-dev serve the number and name keys;
# the package's dependencies on their run-time libraries come from
# dpkg-shlibdeps.
want=(cmake g++ make pkg-config qt6-base-dev qt6-translations-l10n libgl-dev libexpat1-dev libphonenumber-dev
  libicu-dev libabsl-dev fonts-liberation
  libcli11-dev nlohmann-json3-dev scdoc)
if [ "${1:-run}" = test ]; then
  want+=(libgtest-dev libbenchmark-dev clang libclang-rt-14-dev xvfb xauth xdotool x11-utils imagemagick dpkg-dev file appstream desktop-file-utils)
fi
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
