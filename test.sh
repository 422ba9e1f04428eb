#!/usr/bin/env bash
# The whole test suite: builds Korvane twice, normally and with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test in both builds.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
jobs="$(nproc)"

"$here/tools/setup.sh" "$here/build"
(cd "$here/build" && ctest -j "$jobs" --output-on-failure --timeout 300)

"$here/tools/setup.sh" "$here/build-asan" -DKORVANE_SANITIZE=ON
(cd "$here/build-asan" && ctest -j "$jobs" --output-on-failure --timeout 600)
