# Set-up, build and the everyday jobs. `make demo` and `make test` work on a fresh Debian 12.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_ONLY ?=
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

# What building and running the programs needs (`make demo`, `make run`, `make deb`), then what
# only the tests, the fuzzers and the samples' script add: a first video needs 100 MB less.
PACKAGES := build-essential cmake ninja-build pkg-config libjpeg62-turbo-dev \
            libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev libaubio-dev \
            libfreetype-dev libfontconfig-dev libharfbuzz-dev libfribidi-dev fonts-dejavu-core \
            libgtest-dev qt6-base-dev qt6-multimedia-dev
TEST_PACKAGES := $(PACKAGES) ffmpeg lame util-linux clang libclang-rt-14-dev \
            fonts-wqy-zenhei fonts-noto-core fonts-symbola desktop-file-utils appstream \
            libjpeg-turbo-progs

# Ninja: a build with nothing to do returns in a tenth of a second (make's recursive checks of
# a hundred targets take seconds). A build folder keeps the generator it was made with.
GENERATOR ?= Ninja
generator = $(if $(wildcard $(1)/CMakeCache.txt),,-G "$(GENERATOR)")

.PHONY: all deps test-deps configure build programs run deb screenshots demo test test-fast test-asan fuzz-build fuzz fuzz-replay bench clean format

all: build

# Install what is missing when we are root; otherwise say the one command to run. One query for
# every package keeps a no-change `make` quick.
define install_missing
	@installed=" $$(dpkg-query -W -f='$${db:Status-Abbrev} $${Package}\n' $(1) 2>/dev/null | \
	  sed -n 's/^[hi]i  *//p' | tr '\n' ' ')"; \
	missing=""; for p in $(1); do \
	  case "$$installed" in *" $$p "*) ;; *) missing="$$missing $$p" ;; esac; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	  else \
	    echo "Missing packages. Run:"; echo "  sudo apt-get install -y$$missing"; exit 1; \
	  fi; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

test-deps:
	$(call install_missing,$(sort $(TEST_PACKAGES)))

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(call generator,$(BUILD)) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANTA_WERROR=ON $(CMAKE_ARGS)

configure: deps $(BUILD)/CMakeCache.txt

build: test-deps configure
	cmake --build $(BUILD) -j $(JOBS)

# Only what a user runs: the programs, language files, manual and manual pages (no tests).
programs: configure
	cmake --build $(BUILD) -j $(JOBS) --target morvanta_programs

# Starts the desktop program from the build tree.
run: programs
	$(BUILD)/morvanta

# Every form of the desktop program as PNG files (offscreen), for the manual.
SCREENSHOTS ?= $(CURDIR)/$(BUILD)/screenshots
screenshots: build
	cd $(BUILD) && MORVANTA_SCREENSHOTS=$(SCREENSHOTS) ctest --output-on-failure -R '^Screenshots\.'

demo: programs
	./samples/render-demo.sh $(BUILD)

# The Debian package morvanta_<version>_amd64.deb, here; `sudo apt-get install ./morvanta_*.deb`.
deb: programs
	rm -f $(BUILD)/package/morvanta_*.deb
	cd $(BUILD) && cpack -G DEB
	rm -f morvanta_*.deb
	cp $(BUILD)/package/morvanta_*.deb .

# Every test: the normal build, then the core tests again under the sanitizers.
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-asan
	$(MAKE) --no-print-directory fuzz-replay

test-fast: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# GCC 12 gives false stringop/array-bounds warnings under the sanitizers, so no -Werror here.
# Guards against a slow algorithm (bounds tens of times their usual time): under the sanitizers
# on a busy machine their times say nothing.
TIMED_TESTS = TakesAFewMilliseconds|WithinTheLatencyBound|WalkedQuickly
test-asan: test-deps
	cmake -S . -B $(ASAN_BUILD) $(call generator,$(ASAN_BUILD)) -DCMAKE_BUILD_TYPE=Debug -DMORVANTA_SANITIZE=ON -DMORVANTA_WERROR=OFF \
	  -DMORVANTA_GUI=OFF $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -L core -E '$(TIMED_TESTS)'

# The libFuzzer harnesses (clang, ASan + UBSan). `make fuzz` mutates for FUZZ_SECONDS each and
# keeps what it finds in tests/fuzz/found/; `make fuzz-replay` only replays the committed seeds
# and crash files, so it cannot fail on a commit that did not touch what it covers.
fuzz-build: test-deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(call generator,$(FUZZ_BUILD)) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DMORVANTA_FUZZ=ON -DMORVANTA_WERROR=OFF $(CMAKE_ARGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	tests/fuzz/run-fuzzers.sh $(FUZZ_BUILD) mutate $(FUZZ_SECONDS) $(FUZZ_ONLY)

fuzz-replay: fuzz-build
	tests/fuzz/run-fuzzers.sh $(FUZZ_BUILD) replay

# The render benchmark (never in CI): times, memory and ratios against ffmpeg's encoder alone,
# then each option of the look against the same workload without it.
bench: build
	bench/run.sh $(BUILD) --long
	bench/containers.sh $(BUILD)
	bench/options.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) morvanta_*.deb

# The monkey walks the real window for 10 minutes (offscreen); `make test` runs 60 seconds of it.
# It prints its seed: MORVANTA_MONKEY_SEED=<seed> make soak walks the same way again.
SOAK_SECONDS ?= 600
.PHONY: soak
soak: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen MORVANTA_CONFIG_DIR=$(CURDIR)/$(BUILD)/test-config/soak \
	  MORVANTA_MONKEY_SECONDS=$(SOAK_SECONDS) ./tests/test_monkey
