#!/usr/bin/env bash
# The main job: installs what is missing, builds, starts a simulated Tallix
# reader on a pseudo-terminal and runs the updater against it:
#   1. orvabsl ports      the simulated port appears in the port list
#   2. orvabsl identify   the instrument is identified over its command language
#   3. orvabsl flash      its bootstrap loader is started and the flash programmed
#   4. orvabsl identify   the instrument is back in its new firmware
# With --gui (or when a display is present) the window is started afterwards
# with the simulated port in its list; close it to end.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"
build="${ORVABSL_BUILD_DIR:-$here/build}"
orvabsl="$build/src/cli/orvabsl"
orvasim="$build/sim/orvasim"

gui=0
if [ "${1:-}" = "--gui" ] || [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then gui=1; fi

work="$(mktemp -d /tmp/orvabsl-run.XXXXXX)"
# The instrument protocol keeps port names of up to 12 characters (such as
# ttyUSB0), so the simulated port gets a short path.
link="/tmp/orvasim"
if [ -e "$link" ]; then
  echo "$link exists already (is another orvasim running?); remove it and try again." >&2
  exit 1
fi
simpid=""
cleanup() {
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null && wait "$simpid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$orvasim" --link "$link" --dump-flash "$work/flash.bin" >"$work/sim.out" 2>"$work/sim.err" &
simpid=$!
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
[ -e "$link" ] || { echo "orvasim did not start:" >&2; cat "$work/sim.err" >&2; exit 1; }
echo "Simulated Tallix reader on $link"
export ORVABSL_EXTRA_PORTS="$link"
log="$work/updater.errors.txt"

step() { echo; echo "\$ $*"; "$@"; }
step "$orvabsl" ports
step "$orvabsl" identify --port "$link" --log "$log"
if "$orvabsl" --help | grep -q '^  flash '; then
  step "$orvabsl" flash --port "$link" --log "$log"
  echo "Waiting for the instrument to restart into its new firmware..."
  sleep 2
  step "$orvabsl" identify --port "$link" --log "$log"
fi
echo
echo "Diagnostic log of this run: $(wc -l <"$log") lines (last ones below)"
tail -n 5 "$log"

if [ "$gui" = 1 ]; then
  echo
  echo "Starting the window; pick $link from the port list. Close the window to end."
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$build/src/gui/OrvaBSL_WinGUI"
  else
    xvfb-run -a "$build/src/gui/OrvaBSL_WinGUI"
  fi
fi
