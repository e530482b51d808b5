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
