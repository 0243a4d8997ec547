#!/usr/bin/env bash
# Installs the Debian packages that building and testing QueloLink need.
# Idempotent: quiet, and touches nothing, when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config   # the build
  googletest libgtest-dev libgmock-dev           # the tests
  libhidapi-dev                                  # HID link adapters (hidraw)
  libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev  # the window
  libfontconfig-dev fonts-liberation             # fonts by name; the Arial.ttf copy
  xvfb xauth xdotool openbox x11-utils           # the window test under a virtual display
  imagemagick                                    # screenshots and pixels in that test
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
