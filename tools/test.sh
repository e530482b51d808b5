#!/usr/bin/env bash
# Installs what is missing, builds the product, its tests and benchmarks, and runs the whole test
# suite through CTest. Extra arguments go to ctest (for example -R State).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ROOT/tools/install-deps.sh"
configure_and_build -DOSTREL_BUILD_TESTS=ON -DOSTREL_BUILD_BENCHMARKS=ON

say "running the test suite"
cd "$BUILD_DIR"
ctest --output-on-failure -j "$JOBS" "$@"
