#!/usr/bin/env bash
# Installs what is missing, builds the updater and runs it.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"
build="${ORVABSL_BUILD_DIR:-$here/build}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: starting the window on a virtual X server (xvfb-run)." >&2
  exec xvfb-run -a "$build/src/gui/OrvaBSL_WinGUI" "$@"
fi
exec "$build/src/gui/OrvaBSL_WinGUI" "$@"
