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
	$(MAKE) --no-print-directory test-sanitizers

clean:
	rm -rf build build-headless

# --- Sanitizers ---------------------------------------------------------------------------
# The plain C++ suites (unit and headless, without Qt) again under AddressSanitizer with
# UndefinedBehaviorSanitizer and under ThreadSanitizer; any report fails the run. Presets in
# cmake/SanitizerPresets.json.
SANITIZER_PRESETS := asan tsan

.PHONY: test-sanitizers clean-sanitizers
test-sanitizers: deps
	@for p in $(SANITIZER_PRESETS); do \
	  cmake --preset $$p >/dev/null && cmake --build --preset $$p && ctest --preset $$p \
	  || exit 1; \
	done

clean: clean-sanitizers
clean-sanitizers:
	rm -rf $(addprefix build-,$(SANITIZER_PRESETS))
