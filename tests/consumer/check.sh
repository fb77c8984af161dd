#!/usr/bin/env bash
# Builds tests/consumer/main.cpp against the build tree: with pkg-config, then with CMake.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
PKG_CONFIG_PATH=$build g++ "$here/main.cpp" -o "$out/pc" $(PKG_CONFIG_PATH=$build pkg-config --cflags --libs lumtwainpro)
"$out/pc"
cmake -S "$here" -B "$out/cm" -G Ninja -DCMAKE_PREFIX_PATH="$build" >/dev/null
cmake --build "$out/cm" >/dev/null
"$out/cm/consumer"
echo "consumer builds: pkg-config and find_package"
