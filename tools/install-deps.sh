#!/usr/bin/env bash
# Installs, with apt-get, every Debian 12 package that building, running and testing OstrelSynth
# needs. Packages already present are left alone, so a second run costs a few seconds.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  juce-modules-source lv2-dev
  libflac-dev libvorbis-dev libogg-dev libpng-dev libjpeg-dev zlib1g-dev
  libasound2-dev libjack-jackd2-dev libfreetype-dev libfontconfig1-dev
  libx11-dev libxext-dev libxinerama-dev libxrandr-dev libxcursor-dev libxcomposite-dev
  libhwy-dev libpugixml-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang-14 libclang-rt-14-dev llvm-14
  xvfb xauth python3 python3-mido python3-numpy time
  lilv-utils jalv jackd2 jack-capture ardour
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "[deps] all build and test packages are installed"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "[deps] installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# jackd2 asks whether to give users real-time scheduling; the tests run JACK without it.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
