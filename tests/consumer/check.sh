#!/usr/bin/env bash
# Builds tests/consumer/main.cpp with pkg-config and with CMake, against the build tree and
# against a prefix the build is installed into; then checks what the package exposes.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export LUMTWAIN_SANE=0

consume() {  # label, pkg-config folder, CMake prefix
    PKG_CONFIG_PATH=$2 g++ "$here/main.cpp" -o "$out/$1-pc" $(PKG_CONFIG_PATH=$2 pkg-config --cflags --libs lumtwainpro)
    "$out/$1-pc" >/dev/null
    cmake -S "$here" -B "$out/$1-cm" -G Ninja -DCMAKE_PREFIX_PATH="$3" >/dev/null
    cmake --build "$out/$1-cm" >/dev/null
    "$out/$1-cm/consumer" >/dev/null
    echo "consumer builds against the $1: pkg-config and find_package"
}

consume "build tree" "$build" "$build"

prefix=$out/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
consume "installed prefix" "$prefix/lib/pkgconfig" "$prefix"

# Only the public headers are installed, and the libraries export their interfaces only.
if find "$prefix/include" -name '*_p.h' -o -name 'modGdiplus.h' | grep -q .; then
    echo "internal headers were installed" >&2; exit 1
fi
if nm -DC --defined-only "$prefix/lib/liblumtwainpro.so" | grep -q 'modGdiplus::'; then
    echo "liblumtwainpro.so exports the image engine's internals" >&2; exit 1
fi
if nm -DC --defined-only "$prefix/lib/liblumplatform.so" | grep -q 'gdip::codec::'; then
    echo "liblumplatform.so exports its codecs' internals" >&2; exit 1
fi
PYTHONPATH=$prefix/lib/python3/dist-packages /usr/bin/python3 -c \
    'import lumtwainpro as L; t = L.twain(); t.GetWidth(); assert t.GetStat() == 2'
echo "the installed Python module imports and runs"
