#!/usr/bin/env bash
# Installs the Debian packages the project needs when any of them is missing.
# Quiet and quick when everything is present; safe to run again and again.
set -euo pipefail

# Every Debian package the build, the tests and the benchmarks need. Add new ones here.
PACKAGES=(
  build-essential
  cmake
  pkg-config
  libfftw3-dev
  libboost-dev
  libmsgsl-dev
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  # Python module, its tests, the peer benchmark and the examples
  python3-dev
  pybind11-dev
  python3-numpy
  python3-scipy
  python3-pytest
  python3-matplotlib
  python3-dask
  python3-distributed
  python3-pandas
  # `pip install .` and the wheel check: pip, and venv for the fresh environment
  python3-pip
  python3-venv
  # command-line tool
  libcli11-dev
  # documentation site: Doxygen for the C++ reference, Sphinx with breathe for the rest
  doxygen
  python3-sphinx
  python3-breathe
  # hardening: clang with ThreadSanitizer and OpenMP's Archer plugin, libFuzzer, coverage
  clang
  libomp-14-dev
  libclang-rt-14-dev
  gcovr
  # formatting: make format / make format-check
  clang-format
  # benchmarks: crossovers compared with GMT's x2sys
  gmt
)

missing=()
for package in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  if [[ "$status" != "installed" ]]; then
    missing+=("$package")
  fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run this script as root (or install sudo) to install them" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
