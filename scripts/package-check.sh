#!/usr/bin/env bash
# Installs an already built tree into a temporary prefix and uses it from outside:
# the consumer project in tests/package through the CMake package, the same consumer
# and the README's example through pkg-config. Usage: scripts/package-check.sh [build-dir]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null

# The shared library links OpenMP and FFTW privately: the exported target must not
# ask consumers for them.
if grep -Eiq 'openmp|fftw' "$prefix"/lib*/cmake/VorlithIntegration/*.cmake; then
  echo "package-check: the installed CMake package exposes a private dependency" >&2
  grep -Ei 'openmp|fftw' "$prefix"/lib*/cmake/VorlithIntegration/*.cmake >&2
  exit 1
fi
test -f "$prefix/include/vorlith/export.h"
test -f "$prefix/share/doc/vorlith-integration/LICENSE"

echo "package-check: CMake consumer"
ctest --build-and-test "$root/tests/package" "$work/consumer-cmake" \
  --build-generator "Unix Makefiles" \
  --build-options "-DCMAKE_PREFIX_PATH=$prefix" \
  --test-command ctest --output-on-failure

echo "package-check: pkg-config consumer"
pc_dir=$(dirname "$(find "$prefix" -name vorlith-integration.pc -print -quit)")
export PKG_CONFIG_PATH="$pc_dir"
read -r -a pc_cflags <<<"$(pkg-config --cflags vorlith-integration)"
read -r -a pc_libs <<<"$(pkg-config --libs vorlith-integration)"
libdir=$(pkg-config --variable=libdir vorlith-integration)

# The README's API tour, taken from the README itself so the two cannot drift apart.
awk '/<!-- api-tour -->/ { tour = 1; next }
     tour && /^```cpp/ { inside = 1; next }
     inside && /^```/ { exit }
     inside { print }' "$root/README.md" >"$work/readme_example.cpp"
test -s "$work/readme_example.cpp"

# At C++17, the lowest level the headers support; the .pc file's flags come last, so
# a -std in them would win and fail the consumer's check of the level.
for program in "$root/tests/package/consumer.cpp" "$work/readme_example.cpp"; do
  name=$(basename "$program" .cpp)
  c++ -std=c++17 -DVORLITH_CONSUMER_STANDARD=201703L "${pc_cflags[@]}" "$program" -o "$work/$name" \
    "${pc_libs[@]}" -Wl,-rpath,"$libdir"
  # Only the library itself is a direct dependency of a consumer.
  if readelf -d "$work/$name" | grep NEEDED | grep -Eq 'fftw|gomp'; then
    echo "package-check: $name links a private dependency of the library directly" >&2
    exit 1
  fi
  "$work/$name" </dev/null
done
# The installed command-line tool finds the installed library through its RPATH.
if [[ -x "$prefix/bin/vorlith-line" ]]; then
  echo "package-check: installed vorlith-line"
  # Dummies are written as empty fields.
  printf 'a,b\n1.5,*\n' | "$prefix/bin/vorlith-line" -q -o "$work/tool.csv"
  printf 'a,b\n1.5,\n' | cmp - "$work/tool.csv"
fi
# The Python package, when the build has it: its module links the installed library
# (no copy of its own, nothing exported but the module's entry point) and imports from
# the prefix's site-packages with nothing but PYTHONPATH, finding the library there.
core=$(find "$prefix" -name '_core*.so' -path '*/vorlith/*' -print -quit)
if [[ -n "$core" ]]; then
  echo "package-check: Python package"
  if ! readelf -d "$core" | grep NEEDED | grep -q 'libvorlith_integration\.so'; then
    echo "package-check: the Python module does not link libvorlith_integration.so" >&2
    exit 1
  fi
  if nm -D --defined-only "$core" | grep -v ' PyInit__core$'; then
    echo "package-check: the Python module exports more than its entry point" >&2
    exit 1
  fi
  PYTHONPATH=$(dirname "$(dirname "$core")") /usr/bin/python3 -c '
import numpy, vorlith
prefix = "'"$prefix"'"
assert vorlith.__file__.startswith(prefix), vorlith.__file__
assert vorlith.math.mean(numpy.array([1.0, 2.0, vorlith.DUMMY_DOUBLE])) == 1.5
maps = open("/proc/self/maps").read().splitlines()
assert any(prefix in line and "libvorlith_integration.so" in line for line in maps), "library not from the prefix"
' </dev/null
fi
echo "package-check: passed"
