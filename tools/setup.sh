#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when some are missing.
set -euo pipefail
PACKAGES=(cmake g++ make pkg-config ccache libjpeg-dev libpng-dev libtiff-dev libfftw3-dev libalglib-dev libgtest-dev libgmock-dev libbenchmark-dev
  # the desktop program: Qt 6 Widgets, Charts (which needs Qt's OpenGL module without recommends), SVG, a font
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev libgl-dev fonts-dejavu-core
  # history exports; the tests read the written workbooks and documents back with unzip
  libxlsxwriter-dev unzip
  # installing: manual pages from --help, and what cpack's Debian package needs (dpkg-shlibdeps)
  help2man dpkg-dev file
  # running the shards of 'kvadra analyze' over many pictures on one machine (README)
  parallel
  # the fuzzers of the picture readers (tools/fuzz.sh): clang with libFuzzer and the sanitizers
  clang libclang-rt-14-dev
  # pdflatex with booktabs: the test that compiles 'kvadra analyze --table latex' (about 130 MB;
  # texlive-latex-extra is not needed for it)
  texlive-latex-recommended
  # the Python module (pybind11, Debian's interpreter and NumPy), its tests (pytest) and the plot
  # of the README's Python example (matplotlib)
  pybind11-dev python3-dev python3-numpy python3-pytest python3-matplotlib
  # tools/check_function_length.sh: the functions' first and last lines
  universal-ctags)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
