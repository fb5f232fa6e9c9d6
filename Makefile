# Front door: `make run` and `make test` on a fresh Debian 12 machine.

BUILD_PACKAGES := cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
                  qt6-base-dev libqt6opengl6-dev libxcb1-dev libxcb-randr0-dev libwayland-dev libpulse-dev \
                  fonts-liberation2 zlib1g-dev
TEST_PACKAGES  := xvfb xdotool imagemagick x11-utils x11-xserver-utils python3 \
                  weston qt6-wayland openbox \
                  sway grim wtype gnome-shell kwin-wayland dbus python3-dbus \
                  chromium libreoffice-calc-nogui locales
# The checks of the sources and of the package (format, lintian, AppStream).
CHECK_PACKAGES := clang-format clang-tidy lintian appstream

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# $(call install-missing,PACKAGES): installs those of the Debian packages that are missing.
define install-missing
@missing=$$(for p in $(1); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null \
  | grep -q 'install ok installed' || echo $$p; done); \
if [ -n "$$missing" ]; then \
  echo "Installing:" $$missing; \
  $(SUDO) apt-get update -qq && \
  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
fi
endef

# Every build folder the presets make (their binaryDir under the source tree).
BUILD_DIRS := $(shell sed -n 's|.*"binaryDir": *"$${sourceDir}/\([^"]*\)".*|\1|p' \
                CMakePresets.json)

.PHONY: all deps test-deps check-deps configure build build-all run test format-check tidy-check clean

all: build

deps:
	$(call install-missing,$(BUILD_PACKAGES))

# The spreadsheet test opens the decimal-comma CSV under a Russian locale.
test-deps:
	$(call install-missing,$(TEST_PACKAGES))
	@locale -a | grep -qix 'ru_RU.utf8' || $(SUDO) localedef -i ru_RU -f UTF-8 ru_RU.UTF-8

check-deps:
	$(call install-missing,$(CHECK_PACKAGES))

configure: deps
	cmake --preset default

# The program and its companion command (build/trelvan, build/trelvan-report).
build: configure
	cmake --build --preset default --target trelvan trelvan-report

# Everything, tests included.
build-all: configure
	cmake --build --preset default

run: build
	mkdir -p run
	[ -f run/trelvan.sym ] || cp resources/trelvan.sym run/
	cd run && ../build/trelvan

# Every tracked C++ file must be laid out as .clang-format says (clang-format -i FILE fixes it).
format-check: check-deps
	tools/check-format.sh

# clang-tidy with .clang-tidy over every tracked source under src/; any finding fails.
tidy-check: check-deps configure
	tools/check-tidy.sh build

test: format-check build-all tidy-check test-deps
	ctest --preset default
	tests/e2e/run-all.sh build/trelvan
	$(MAKE) --no-print-directory test-sanitizers

clean:
	rm -rf $(BUILD_DIRS)

# --- Benchmarks: Google Benchmark on the build, then the running program under Xvfb --------
.PHONY: bench
bench: build-all test-deps
	python3 bench/run_bench.py build

# --- Screenshots of the real program for the README (docs/screenshots), under Xvfb ---------
.PHONY: screenshots
screenshots: build test-deps
	python3 tools/screenshots.py build/trelvan docs/screenshots

# --- Installation and the Debian package ----------------------------------------------------
PREFIX ?= /usr/local
.PHONY: install package
install: build
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)"

package: build
	rm -f build/trelvan_*.deb
	cmake --build --preset default --target package
	dpkg-deb -I build/trelvan_*.deb
	dpkg-deb -c build/trelvan_*.deb

# --- Sanitizers ---------------------------------------------------------------------------
# The plain C++ suites (unit and headless, without Qt) again under AddressSanitizer with
# UndefinedBehaviorSanitizer and under ThreadSanitizer; any report fails the run. Presets in
# CMakePresets.json (asan and tsan inherit from the headless preset).
SANITIZER_PRESETS := asan tsan

.PHONY: test-sanitizers clean-sanitizers
test-sanitizers: deps
	@for p in $(SANITIZER_PRESETS); do \
	  cmake --preset $$p >/dev/null && cmake --build --preset $$p && ctest --preset $$p \
	  || exit 1; \
	done

clean-sanitizers:
	rm -rf $(addprefix build-,$(SANITIZER_PRESETS))

# --- Fuzzing: libFuzzer targets of the file readers (fuzz/), clang with ASan and UBSan -------
# make fuzz FUZZ_SECONDS=600   runs each target in turn for that long on one core.
FUZZ_SECONDS ?= 60
FUZZ_PACKAGES := clang libclang-rt-dev

.PHONY: fuzz fuzz-build fuzz-deps clean-fuzz

fuzz-deps: deps
	$(call install-missing,$(FUZZ_PACKAGES))

fuzz-build: fuzz-deps
	cmake --preset fuzz
	cmake --build --preset fuzz

fuzz: fuzz-build
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run.sh

clean-fuzz:
	rm -rf build-fuzz
