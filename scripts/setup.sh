#!/usr/bin/env bash
# Installs what the Linux build needs on Debian 12 (as root), with clang for
# the fuzz targets, g++-multilib (and qemu-user, for kernels that run no
# 32-bit programs) for the 32-bit core tests, clang-format for
# scripts/check-format.sh, then configures
# and builds the default preset into build/. Quick when everything is there:
# apt is skipped unless a package is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ make
  libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev googletest
  libcli11-dev nlohmann-json3-dev
  unixodbc unixodbc-dev libsqliteodbc tdsodbc
  clang libclang-rt-14-dev g++-multilib qemu-user file
  clang-format
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} > 0)); then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake --preset default
cmake --build --preset default -j2
