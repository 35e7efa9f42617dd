# The two everyday commands: `make run` starts VEL, `make test` runs every test.
# Both install the missing Debian packages first.

BUILD_DIR   ?= build
BENCH_DIR   ?= build-bench
PORTABLE    ?= portable
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test bench clean portable package

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

# A portable VEL: the program with down/ and its settings files beside it.
# Existing settings are never overwritten.
portable: build
	@mkdir -p $(PORTABLE)/down
	@cp -f $(BUILD_DIR)/vel $(PORTABLE)/vel
	@[ -e $(PORTABLE)/config.bin ] || : > $(PORTABLE)/config.bin
	@[ -e $(PORTABLE)/config.lis ] || printf 'gif\r\njpg\r\npng\r\n' > $(PORTABLE)/config.lis

# The Debian package, $(BUILD_DIR)/vel_<version>_amd64.deb.
package: build
	cmake --build $(BUILD_DIR) --target package

run: portable
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "VEL needs a graphical display, but neither DISPLAY nor WAYLAND_DISPLAY is set." >&2; \
	  echo "Start it from a desktop session (or under Xvfb: xvfb-run make run)." >&2; \
	  exit 1; \
	fi
	cd $(PORTABLE) && ./vel

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DVEL_BUILD_TESTS=OFF -DVEL_BUILD_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)
	@for b in $(BENCH_DIR)/bench/bench_*; do if [ -f "$$b" ] && [ -x "$$b" ]; then echo "== $$b"; "$$b" || exit 1; fi; done

# The libFuzzer harnesses in fuzz/, built with clang against an instrumented
# velcore (no Qt needed). Run one as build-fuzz/fuzz/<name> <corpus dir>.
FUZZ_DIR    ?= build-fuzz

.PHONY: fuzz
fuzz:
	@scripts/install-fuzz-deps
	CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEL_BUILD_FUZZ=ON
	cmake --build $(FUZZ_DIR) -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(BENCH_DIR)
