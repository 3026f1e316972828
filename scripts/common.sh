# Shared by run.sh and test.sh: installs the Debian packages that are missing.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

install_missing() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What building the Linux program needs, and the font its Chinese captions need.
RUN_PACKAGES=(cmake ninja-build g++ pkgconf zlib1g-dev qt6-base-dev libgl-dev fonts-wqy-microhei)
# What the tests need beyond that: GoogleTest, clang's sanitizers and libFuzzer, Xvfb.
TEST_PACKAGES=(googletest libgtest-dev libgmock-dev clang libclang-rt-14-dev xvfb xauth)
# The Windows program: the cross-compiler and zlib for it.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev)
# Running the Windows program and its tests here: Wine on Xvfb.
WINE_PACKAGES=(wine64 xvfb xauth)
