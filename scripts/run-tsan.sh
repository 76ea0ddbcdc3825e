#!/usr/bin/env bash
# Runs the test suite of a ThreadSanitizer build (make tsan) with LLVM's OpenMP runtime
# and its Archer tool, once per OpenMP team size, with a small minimum thread block so
# every parallel member splits its range. Any report fails the test (exit code 66).
# Usage: scripts/run-tsan.sh BUILD_DIR [CTEST_ARGS...]
set -euo pipefail
build=${1:?usage: run-tsan.sh BUILD_DIR [CTEST_ARGS...]}
shift

archer=/usr/lib/llvm-14/lib/libarcher.so
export OMP_TOOL_LIBRARIES=$archer
export TSAN_OPTIONS="ignore_noninstrumented_modules=1 halt_on_error=1 exitcode=66 ${TSAN_OPTIONS:-}"
export VORLITH_TEST_MIN_THREAD_BLOCK=${VORLITH_TEST_MIN_THREAD_BLOCK:-8}
# ThreadSanitizer cannot map its shadow memory with high-entropy address randomisation.
no_aslr=(setarch "$(uname -m)" -R)

# Archer must really be loaded, or OpenMP's own synchronisation shows up as races (or,
# worse, races hide behind a missing tool).
probe=$(find "$build/tests" -maxdepth 1 -name 'runtime_tests' -type f | head -n1)
probe_output=$(ARCHER_OPTIONS=verbose=1 "${no_aslr[@]}" "$probe" --gtest_list_tests 2>&1 || true)
if ! grep -q 'Archer detected OpenMP application with TSan' <<<"$probe_output"; then
  echo "run-tsan: the Archer tool did not start ($archer)" >&2
  exit 1
fi

for threads in ${TSAN_THREADS:-2 3 8}; do
  echo "run-tsan: OMP_NUM_THREADS=$threads, minimum thread block $VORLITH_TEST_MIN_THREAD_BLOCK"
  OMP_NUM_THREADS=$threads VORLITH_TEST_PROCESSORS=$threads \
    "${no_aslr[@]}" ctest --test-dir "$build" --output-on-failure -j2 -LE 'exhaustive|python|tool' "$@"
done
