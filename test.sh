#!/usr/bin/env bash
# Sets up a fresh Debian machine, then builds and runs every test: the normal build (warnings are
# errors), the sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer), the threaded tests
# under ThreadSanitizer, and the fuzz smoke test when Clang is present. Fails on the first failure.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
jobs=$(nproc)
"$top/scripts/setup.sh"

echo "== normal build"
"$top/scripts/build.sh" "$top/build/test" -DCMAKE_BUILD_TYPE=Release -DLUMORA_WERROR=ON
ctest --test-dir "$top/build/test" --output-on-failure -j "$jobs"

echo "== sanitizer build"
# -O1 with line tables only: sanitizer reports keep file and line, the build stays quick.
"$top/scripts/build.sh" "$top/build/asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_WERROR=ON \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DLUMORA_SANITIZE=ON -DLUMORA_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$top/build/asan" --output-on-failure -j "$jobs"

echo "== thread sanitizer build (the threaded parts: platform, program, thumbnail cache)"
# Only the targets of those tests are built, which keeps this step to a few minutes.
tsan=$top/build/tsan
cmake -S "$top" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_WERROR=ON \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DLUMORA_SANITIZE=thread -DLUMORA_BENCH=OFF >/dev/null
tsan_tests='^(app_|platform_|thumbcache_|tools_lumora_img_thumbs)'
tsan_exclude='^app_install_test$'  # installs and packages; nothing threaded of its own
targets=$(ctest --test-dir "$tsan" -N -R "$tsan_tests" -E "$tsan_exclude" | sed -n 's/^ *Test *#[0-9]*: \(.*\)$/test_\1/p')
cmake --build "$tsan" --parallel "$jobs" --target lumora lumora-img $targets
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir "$tsan" --output-on-failure -j "$jobs" -R "$tsan_tests" -E "$tsan_exclude"

if command -v clang++ >/dev/null 2>&1; then
  echo "== fuzz smoke"
  CC=clang CXX=clang++ "$top/scripts/build.sh" "$top/build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DLUMORA_FUZZ=ON
  ctest --test-dir "$top/build/fuzz" --output-on-failure -L fuzz-smoke -j "$jobs"
else
  echo "== fuzz smoke skipped: clang++ not found"
fi
echo "all tests passed"
