# Entry points for developers and CI. Each target installs missing Debian packages first.
# The machine has two cores; keep JOBS at 2 unless you know better.

JOBS ?= 2
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
COVERAGE_BUILD ?= build-coverage
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
# The clang builds: LLVM's OpenMP runtime, so FFTW threads through fftw3_threads
# instead of the g++-runtime fftw3_omp; no Python module, tool or benchmarks.
CLANG_FLAGS = -DCMAKE_CXX_COMPILER=clang++ -DVORLITH_FFTW_THREADS=threads -DVORLITH_BUILD_BENCH=OFF \
              -DVORLITH_PYTHON=OFF -DVORLITH_BUILD_TOOLS=OFF --no-warn-unused-cli
# ThreadSanitizer cannot map its shadow memory with high-entropy address randomisation.
NO_ASLR = setarch $(shell uname -m) -R
CMAKE_FLAGS ?=
PYTHON ?= /usr/bin/python3
DEMO_OUT ?= out

.PHONY: all deps configure build test sanitize coverage tsan fuzz bench package-check wheel-check demo docs format format-check clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DVORLITH_SANITIZE=ON -DVORLITH_BUILD_BENCH=OFF -DVORLITH_PYTHON=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j$(JOBS)

# Unoptimised gcc build with coverage counters; every test but the exhaustive label, then
# line, function and branch coverage of the library (exception branches left out).
coverage: deps
	cmake -S . -B $(COVERAGE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORLITH_COVERAGE=ON -DVORLITH_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(COVERAGE_BUILD) -j$(JOBS)
	find $(COVERAGE_BUILD) -name '*.gcda' -delete
	ctest --test-dir $(COVERAGE_BUILD) --output-on-failure -j$(JOBS) -LE exhaustive
	mkdir -p $(COVERAGE_BUILD)/coverage
	gcovr --root . --object-directory $(COVERAGE_BUILD) --filter src/ --filter include/ \
	  --exclude-throw-branches --exclude-unreachable-branches \
	  --txt $(COVERAGE_BUILD)/coverage/files.txt \
	  --html-details $(COVERAGE_BUILD)/coverage/index.html --print-summary
	python3 scripts/coverage-merged.py . $(COVERAGE_BUILD) | tee $(COVERAGE_BUILD)/coverage/merged.txt

# The build runs without address randomisation too: test discovery starts the binaries.
tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DVORLITH_TSAN=ON $(CLANG_FLAGS) $(CMAKE_FLAGS)
	$(NO_ASLR) cmake --build $(TSAN_BUILD) -j$(JOBS)
	scripts/run-tsan.sh $(TSAN_BUILD)

fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DVORLITH_FUZZ=ON -DVORLITH_BUILD_TESTS=OFF $(CLANG_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers
	scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: configure
	cmake --build $(BUILD) -j$(JOBS) --target vorlith_bench
	cmake --build $(BUILD) --target run_bench

# The survey-line demo on the Python module from the build tree: prints its summary and
# writes $(DEMO_OUT)/survey_line.csv, survey_line_resampled.csv and survey_line.png.
demo: configure
	cmake --build $(BUILD) -j$(JOBS) --target vorlith_python
	PYTHONPATH=$(abspath $(BUILD))/python $(PYTHON) examples/survey_line_demo.py --out $(DEMO_OUT)

# The documentation site in $(BUILD)/docs/html: Doxygen for the C++ reference, Sphinx for
# the guide and the Python reference (from the module in $(BUILD)/python). Warnings fail it.
docs: configure
	cmake --build $(BUILD) -j$(JOBS) --target docs

package-check: build
	scripts/package-check.sh $(BUILD)

# `pip wheel .` offline (the build backend is python/packaging/vorlith_build.py), the wheel
# installed into a fresh virtual environment (Debian's numpy, SciPy and pandas from the
# system site), and the Python tests run against the installed package.
WHEEL_CHECK ?= $(BUILD)-wheel-check
wheel-check: deps
	rm -rf $(WHEEL_CHECK) && mkdir -p $(WHEEL_CHECK)
	VORLITH_WHEEL_BUILD=$(abspath $(WHEEL_CHECK))/cmake VORLITH_WHEEL_JOBS=$(JOBS) \
	  $(PYTHON) -m pip wheel . --no-deps -w $(WHEEL_CHECK)/dist
	$(PYTHON) -m venv --system-site-packages $(WHEEL_CHECK)/venv
	$(WHEEL_CHECK)/venv/bin/python -m pip install --no-index $(WHEEL_CHECK)/dist/vorlith-*.whl
	cd $(WHEEL_CHECK) && venv/bin/python -c \
	  "import importlib.metadata as m, vorlith; assert vorlith.__version__ == m.version('vorlith'); print(vorlith.__file__)"
	cd $(WHEEL_CHECK) && venv/bin/python -m pytest -q -p no:cacheprovider $(CURDIR)/tests/python

# Every C++ source and header in the repository, formatted with .clang-format.
FORMAT_FILES = git ls-files '*.cpp' '*.h'

format: deps
	$(FORMAT_FILES) | xargs clang-format -i

format-check: deps
	$(FORMAT_FILES) | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(COVERAGE_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(WHEEL_CHECK) build-wheel
