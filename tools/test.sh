#!/usr/bin/env bash
# Installs what is missing, builds the product, its tests and benchmarks, installs the factory waves
# into the machine-wide folder and runs the whole test suite through CTest, plug-ins in hosts
# included. Extra arguments go to ctest (for example -R State).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ROOT/tools/install-deps.sh"
configure_and_build -DOSTREL_BUILD_TESTS=ON -DOSTREL_BUILD_BENCHMARKS=ON

# The plug-in host tests load the plug-ins as hosts do, and plug-ins read the machine-wide folder.
install_factory_waves

say "running the test suite"
cd "$BUILD_DIR"
ctest --output-on-failure -j "$JOBS" "$@"
