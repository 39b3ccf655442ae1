#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need,
# and the cross compiler, Wine, GoogleTest's sources and makensis for the
# Windows build and its installer.
# Only what is missing is installed, so running it again costs a dpkg query.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libssl-dev libicu-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  qt6-base-dev qt6-translations-l10n libqt6svg6 fonts-wqy-microhei
  libcanberra-dev
  dbus-daemon
  rhash
  desktop-file-utils appstream shared-mime-info man-db groff-base libxml2-utils
  xvfb xauth xdotool x11-utils imagemagick
  g++-mingw-w64-x86-64-posix wine wine64 googletest zip nsis
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
