#!/usr/bin/env bash
# Builds the portable core and its tests in 32 bits, as the product DLL is
# (g++ -m32; GoogleTest built from Debian's source package into
# build-m32/googletest), and runs them: sizes, overflow and rounding as in
# the product. Where the kernel runs no 32-bit programs (some virtual
# machines), they run under qemu-i386 (package qemu-user, installed by
# setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build-m32

gtest="$PWD/build-m32/googletest"
if [ ! -f "$gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B build-m32/googletest-build -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32 -DCMAKE_INSTALL_PREFIX="$gtest" >/dev/null
  cmake --build build-m32/googletest-build -j2 >/dev/null
  cmake --install build-m32/googletest-build >/dev/null
fi
emulator=()
runner=()
echo 'int main(void) { return 0; }' >build-m32/probe.c
gcc -m32 build-m32/probe.c -o build-m32/probe
if ! build-m32/probe 2>/dev/null; then
  echo "test-32: this kernel runs no 32-bit programs; running the tests under qemu-i386"
  emulator=(-DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR=i686 -DCMAKE_CROSSCOMPILING_EMULATOR=qemu-i386)
  runner=(qemu-i386)
fi
cmake --preset m32 --fresh "${emulator[@]}" >/dev/null
cmake --build --preset m32 -j2
file -L build-m32/tests/core_tests | grep -q 'ELF 32-bit' || { echo "test-32: core_tests is not a 32-bit program" >&2; exit 1; }
# One run of the whole program (ctest --preset m32 starts one per test, which
# under the emulator takes minutes).
"${runner[@]}" build-m32/tests/core_tests --gtest_brief=1
