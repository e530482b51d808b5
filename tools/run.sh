#!/usr/bin/env bash
# Installs what is missing, builds a Release, installs the factory waves into the machine-wide
# waveform folder and the plug-ins into ~/.vst3 and ~/.lv2, and starts the OstrelSynth standalone app.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ROOT/tools/install-deps.sh"
configure_and_build -DOSTREL_BUILD_TESTS=OFF -DOSTREL_BUILD_BENCHMARKS=OFF

install_factory_waves
install_user_plugins

APP="$ARTEFACTS/Standalone/OstrelSynth"
say "starting $APP"
exec "$APP" "$@"
