# Entry points for developers and CI. Each target installs missing Debian packages first.
# The machine has two cores; keep JOBS at 2 unless you know better.

JOBS ?= 2
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
CMAKE_FLAGS ?=
PYTHON ?= /usr/bin/python3
DEMO_OUT ?= out

.PHONY: all deps configure build test sanitize bench package-check demo clean

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

bench: configure
	cmake --build $(BUILD) -j$(JOBS) --target vorlith_bench
	cmake --build $(BUILD) --target run_bench

# The survey-line demo on the Python module from the build tree: prints its summary and
# writes $(DEMO_OUT)/survey_line.csv, survey_line_resampled.csv and survey_line.png.
demo: configure
	cmake --build $(BUILD) -j$(JOBS) --target vorlith_python
	PYTHONPATH=$(abspath $(BUILD))/python $(PYTHON) examples/survey_line_demo.py --out $(DEMO_OUT)

package-check: build
	scripts/package-check.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
