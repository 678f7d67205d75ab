# Shared by scripts/run and scripts/test: dependency installation and the build.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian 12 packages the build, the program and the tests need.
BUILD_PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev
  libcivetweb-dev libjsoncpp-dev libmediainfo-dev libpugixml-dev
  libcurl4-gnutls-dev libssl-dev uuid-dev libjpeg62-turbo-dev
  libgupnp-1.6-dev libgupnp-av-1.0-dev
  ffmpeg fonts-wqy-microhei
)
TEST_PACKAGES=(
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth trayer openbox xdotool x11-utils iproute2 util-linux python3 openssl
  desktop-file-utils appstream
)
# The source checks CI runs first (scripts/format-check, scripts/check-core-includes).
CHECK_PACKAGES=(clang-format python3)
# Only for making the Debian package (scripts/package).
PACKAGE_PACKAGES=(dpkg-dev file lintian)
# Only for redrawing the committed skin (scripts/make-skin).
SKIN_TOOL_PACKAGES=(python3 python3-pil fonts-wqy-microhei)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the packages of the given list that are missing (apt, no recommends).
install_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  as_root apt-get update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

njobs() { nproc 2>/dev/null || echo 2; }

# build DIR [cmake options...]
build() {
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$(njobs)"
}
