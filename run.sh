#!/usr/bin/env bash
# The main job: builds Korvane and runs it in the headless host on the bundled example
# scripts. Options go to korvane-host (try --help).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/tools/setup.sh" "$here/build" >&2
exec "$here/build/host/korvane-host" "$@"
