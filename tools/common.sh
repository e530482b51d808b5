# Shared by the run and test scripts: where the build goes and how it is configured.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${OSTREL_BUILD_DIR:-$ROOT/build}"
JOBS="${OSTREL_JOBS:-$(nproc)}"

say() { echo "[ostrel] $*"; }

configure_and_build() {
  say "configuring a Release build in $BUILD_DIR"
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  say "building with $JOBS jobs (the first build compiles JUCE: a few minutes)"
  cmake --build "$BUILD_DIR" -j "$JOBS"
}

ARTEFACTS="$BUILD_DIR/source/OstrelSynth_artefacts/Release"

# The plug-ins and the app read the machine-wide waveform folder.
install_factory_waves() {
  local waves="/opt/Application Support/Tavik/Ostrel/Waveform Files" sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  say "installing the factory waves into $waves"
  $sudo mkdir -p "$waves"
  $sudo cp -r "$BUILD_DIR/Waveform Files/." "$waves/"
}

# A user's copy of the plug-ins, where Linux hosts look first.
install_user_plugins() {
  say "installing the plug-ins into ~/.vst3 and ~/.lv2"
  mkdir -p "$HOME/.vst3" "$HOME/.lv2"
  rm -rf "$HOME/.vst3/OstrelSynth.vst3" "$HOME/.lv2/OstrelSynth.lv2"
  cp -r "$ARTEFACTS/VST3/OstrelSynth.vst3" "$HOME/.vst3/"
  cp -r "$ARTEFACTS/LV2/OstrelSynth.lv2" "$HOME/.lv2/"
}
