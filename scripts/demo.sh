#!/usr/bin/env bash
# Builds the program and shows it on the simulated JIG: the windows when a
# display is there, otherwise a demonstration in the terminal with the
# command-line front end.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh || exit 1

BIN=build/bin
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]] && [[ -x $BIN/zoltrav-jig ]]; then
  exec "$BIN/zoltrav-jig" --simulate "$@"
fi

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display (DISPLAY and WAYLAND_DISPLAY are empty): showing the terminal demonstration instead."
else
  echo "The window program was not built: showing the terminal demonstration instead."
fi
echo

CLI=$BIN/zoltrav-jig-cli
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Runs one command on the simulated JIG; a mode or action that is not built
# into this program yet (exit status 2) is noted and skipped.
step() {
  echo "================================================================"
  echo "\$ zoltrav-jig-cli --simulate $*"
  "$CLI" --simulate "$@"
  local rc=$?
  case $rc in
    0) echo "--> succeeded" ;;
    1) echo "--> failed (exit status 1)" ;;
    2) echo "--> skipped: not available in this build (exit status 2)" ;;
    *) echo "--> ended with status $rc" ;;
  esac
  echo
  return 0
}

BOARD="LA-8681P"
step ene settings --board "$BOARD" --cable 30
step ene check --board "$BOARD" --cable 30
step ene read "$WORK/ene_chip.bin" --board "$BOARD" --cable 30
if [[ -f $WORK/ene_chip.bin ]]; then
  echo "(read $(stat -c %s "$WORK/ene_chip.bin") bytes into $WORK/ene_chip.bin; writing them back)"
  step ene write "$WORK/ene_chip.bin" --board "$BOARD" --cable 30
fi
echo "The same chip on the external adapter board, plugged into the JIG mirrored:"
step --sim-bench external-ene-mirrored external-ene read "$WORK/ene_external.bin"
step edid check
step edid read "$WORK/edid.bin"
step keyboard --seconds 3

# The firmware update: a simulated JIG with older firmware and a stand-in
# image beside the program (the real image comes with the JIG).
mkdir -p "$WORK/data"
cp -f $BIN/*.txt "$WORK/data/" 2>/dev/null || true
head -c 4096 /dev/urandom >"$WORK/data/M328_EPM240_v20.vss"
echo "The next simulated JIG runs older firmware: \"Check connection\" turns into the firmware"
echo "update (the simulated technician presses the reset button); the check itself does not run,"
echo "so the command ends with status 1."
step --sim-firmware M328_EPM240_v19 --data-dir "$WORK/data" edid check
