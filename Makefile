# Front door: `make run` and `make test` on a fresh Debian 12 machine.

BUILD_PACKAGES := cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
                  qt6-base-dev libqt6opengl6-dev libpulse-dev fonts-liberation2
TEST_PACKAGES  := xvfb xdotool imagemagick x11-utils x11-xserver-utils python3

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps test-deps build run test clean

all: build

deps:
	@missing=$$(for p in $(BUILD_PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null \
	  | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

test-deps:
	@missing=$$(for p in $(TEST_PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null \
	  | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

build: deps
	cmake --preset default
	cmake --build --preset default

run: build
	mkdir -p run
	[ -f run/trelvan.sym ] || cp resources/trelvan.sym run/
	cd run && ../build/trelvan

test: build test-deps
	ctest --preset default
	tests/e2e/run-all.sh build/trelvan

clean:
	rm -rf build build-headless

# --- Fuzzing: libFuzzer targets of the file readers (fuzz/), clang with ASan and UBSan -------
# make fuzz FUZZ_SECONDS=600   runs each target in turn for that long on one core.
FUZZ_SECONDS ?= 60
FUZZ_PACKAGES := clang libclang-rt-dev

.PHONY: fuzz fuzz-build fuzz-deps clean-fuzz

fuzz-deps: deps
	@missing=$$(for p in $(FUZZ_PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null \
	  | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

fuzz-build: fuzz-deps
	cmake --preset fuzz
	cmake --build --preset fuzz

fuzz: fuzz-build
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run.sh

clean-fuzz:
	rm -rf build-fuzz
