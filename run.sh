#!/usr/bin/env bash
# The main job: builds what it runs (the plug-in, korvane-host, the console and the
# stubs; ./test.sh builds the tests) and runs Korvane in the headless host on the
# bundled example scripts. Options go to korvane-host (try --help).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/tools/setup.sh" "$here/build" --main >&2
exec "$here/build/host/korvane-host" "$@"
