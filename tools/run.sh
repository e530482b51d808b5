#!/usr/bin/env bash
# Installs what is missing, builds a Release, installs the factory waves into the machine-wide
# waveform folder and starts the OstrelSynth standalone app.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ROOT/tools/install-deps.sh"
configure_and_build -DOSTREL_BUILD_TESTS=OFF -DOSTREL_BUILD_BENCHMARKS=OFF

WAVES="/opt/Application Support/Tavik/Ostrel/Waveform Files"
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
say "installing the factory waves into $WAVES"
$SUDO mkdir -p "$WAVES"
$SUDO cp -r "$BUILD_DIR/Waveform Files/." "$WAVES/"

APP="$BUILD_DIR/source/OstrelSynth_artefacts/Release/Standalone/OstrelSynth"
say "starting $APP"
exec "$APP" "$@"
