#!/usr/bin/env bash
# Builds QueloLink and runs every test: once plainly (warnings are errors), once under
# AddressSanitizer with UndefinedBehaviorSanitizer, once under ThreadSanitizer, and then the
# Windows build under Wine (scripts/test-windows.sh). Any failure or sanitizer report fails the run.
#   scripts/test.sh           all four builds
#   scripts/test.sh --quick   the plain Linux build only
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
build_and_test() {
  local name=$1; shift
  local dir="build/$name"
  echo "== $name =="
  cmake -S . -B "$dir" -G Ninja -DQL_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300 "${ctest_args[@]}"
}
ctest_args=()

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

# The plain build runs everything, the window under its own Xvfb included (label gui).
build_and_test plain -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [[ ${1:-} != --quick ]]; then
  # Under the sanitizers the Xvfb test is left out: X11 and the display server's libraries are
  # not built with them. The window's offscreen tests (ql_ui_tests, label unit) still run.
  ctest_args=(-LE gui)
  build_and_test asan -DCMAKE_BUILD_TYPE=Debug -DQL_SANITIZE=address
  build_and_test tsan -DCMAKE_BUILD_TYPE=Debug -DQL_SANITIZE=thread
  # The Windows programs, cross-built and tested under Wine; the Linux emulator serves them.
  bash scripts/test-windows.sh
fi
echo "All tests passed."
