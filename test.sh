#!/usr/bin/env bash
# The whole test suite: builds Korvane twice, normally and with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test in both builds. The sanitizer build
# is also the checked build: every return to the host verifies that no Python error is
# pending and the interpreter lock is where it belongs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
jobs="$(nproc)"

"$here/tools/setup.sh" "$here/build"
(cd "$here/build" && ctest -j "$jobs" --output-on-failure --timeout 300)

"$here/tools/setup.sh" "$here/build-asan" -DKORVANE_SANITIZE=ON -DKORVANE_CHECKED=ON
(cd "$here/build-asan" && ctest -j "$jobs" --output-on-failure --timeout 600)
