#!/usr/bin/env bash
# Installs every Debian 12 package the project needs. Idempotent and silent when all is
# present. `tools/setup.sh fuzz` adds the clang toolchain for the fuzz targets;
# `tools/setup.sh bench` adds OpenCV's tracking module, which only the benchmarks compare with.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev libgl-dev libqt6sql6-sqlite qt6-translations-l10n qt6-charts-dev qt6-svg-dev
    libqt6opengl6-dev # Qt Charts' CMake package needs it; qt6-charts-dev does not pull it in
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libavdevice-dev ffmpeg
    libopencv-core-dev libopencv-imgproc-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth clang-format
    fp-utils libchm-dev libxlsxwriter-dev unzip
)
case "${1:-}" in
fuzz) packages+=(clang libclang-rt-14-dev) ;;
bench) packages+=(libopencv-contrib-dev) ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "setup: installing ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "setup: run as root to install: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
