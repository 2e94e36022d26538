# A thin layer over CMake. `make test` and `make demo` work on a fresh Debian machine.
JOBS        ?= $(shell nproc)
BUILD       ?= build
ASAN_BUILD  ?= build-asan
TSAN_BUILD  ?= build-tsan
FUZZ_BUILD  ?= build-fuzz
FUZZ_SECONDS ?= 20
GENERATOR   := -G Ninja
BUILD_TYPE  ?= Release
# The team's builds treat warnings as errors; a plain CMake build does not.
TEAM_FLAGS  := -DLUMAGRAB_WERROR=ON

.PHONY: all deps build test test-normal test-asan test-tsan fuzz demo bench package format clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(TEAM_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test-normal: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DLUMAGRAB_SANITIZE=ON $(TEAM_FLAGS) \
	  -DLUMAGRAB_BUILD_APP=OFF -DLUMAGRAB_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# The link session and the window's behaviour, whose commands run on a worker
# thread, under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMAGRAB_TSAN=ON $(TEAM_FLAGS) \
	  -DLUMAGRAB_BUILD_APP=OFF -DLUMAGRAB_BUILD_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target session_tests window_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --output-on-failure -j $(JOBS)

# Short libFuzzer runs over the receive state machine, the screen-record handling and the
# settings file; fuzz/seeds/NAME holds hand-made inputs that start a target off.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DLUMAGRAB_FUZZ=ON -DLUMAGRAB_BUILD_APP=OFF $(TEAM_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do \
	  case "$$f" in *.log) continue;; esac; \
	  mkdir -p $(FUZZ_BUILD)/corpus-$$(basename $$f); \
	  [ -x "$$f" ] || continue; \
	  seeds=fuzz/seeds/$$(basename $$f | sed 's/^fuzz_//'); [ -d "$$seeds" ] || seeds=; \
	  echo "== $$f ($(FUZZ_SECONDS) s)"; \
	  "$$f" -max_total_time=$(FUZZ_SECONDS) $(FUZZ_BUILD)/corpus-$$(basename $$f) $$seeds > $$f.log 2>&1 \
	    || { tail -n 60 $$f.log; exit 1; }; \
	  tail -n 1 $$f.log; \
	done

test: test-normal test-asan test-tsan fuzz

demo: deps
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(BUILD) -j $(JOBS) --target lumagrab-cli
	$(BUILD)/cli/lumagrab-cli --simulate --dir captures capture

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

# lumagrab-cli_<version>_<arch>.deb and lumagrab_<version>_<arch>.deb in $(BUILD), from the
# build the tests ran on.
package: build
	cd $(BUILD) && cpack -G DEB

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)

# Windows: the core and lumagrab-cli cross-built with mingw-w64 (a static .exe
# that needs no DLL beyond Windows' own), tested under Wine against the Linux
# virtual receiver. Not part of `make test`, so that it never installs Wine
# for someone who only builds for Linux.
WINDOWS_BUILD ?= build-windows

.PHONY: windows test-windows
windows:
	@scripts/install-deps windows
	cmake -S . -B $(WINDOWS_BUILD) $(GENERATOR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DLUMAGRAB_BUILD_BENCH=OFF $(TEAM_FLAGS)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target lumagrab-cli lumagrab windows_tests window_driver

# The Linux virtual receiver and CLI the Windows programs are checked
# against, from the same build as `make build`.
test-windows: windows
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(TEAM_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target lumagrab-sim lumagrab-cli
	tests/windows/run-wine-tests $(WINDOWS_BUILD) $(BUILD)
	tests/windows/run-wine-window-tests $(WINDOWS_BUILD) $(BUILD)

include packaging/release.mk
