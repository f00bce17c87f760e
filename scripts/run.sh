#!/usr/bin/env bash
# Installs what is missing, builds the two programs and the example messages, and
# starts the Mailvane window (needs a display: a desktop session, or DISPLAY
# pointing at an X server such as Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default > /dev/null
# The tests, benchmarks and fuzz replays are left to scripts/test.sh, which
# builds them into the same folder.
cmake --build --preset default -j "$(nproc)" --target quorvex mailvane samples
exec build/default/bin/mailvane "$@"
