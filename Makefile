# Pabrix: the two commands a newcomer needs are `make run` and `make test`.
# Both install what is missing (Debian packages), configure, build and go:
# `make run` only what building and running need, `make test` the test tools too.

# Each build folder is configured from a preset of CMakePresets.json (default,
# asan, tsan, windows), which `cmake --preset NAME` also gives by hand.
BUILD      ?= build
CXX_PICK   := $(shell command -v clang++-14 2>/dev/null)
CC_PICK    := $(shell command -v clang-14 2>/dev/null)
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
XVFB       := xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp"
WINBUILD   ?= build-win
# Every rm -rf below names one of these: an empty one would reach outside the tree.
$(if $(strip $(BUILD)),,$(error BUILD is empty))
$(if $(strip $(WINBUILD)),,$(error WINBUILD is empty))

.PHONY: all setup setup-test configure build run check test package windows test-windows fuzz bench sanitize clean

all: build

setup:
	@bash scripts/setup.sh build

setup-test:
	@bash scripts/setup.sh test

COMPILERS  := $(if $(CXX_PICK),-DCMAKE_CXX_COMPILER=$(CXX_PICK) -DCMAKE_C_COMPILER=$(CC_PICK),)

configure: setup
	@cmake --preset default -B $(BUILD) $(COMPILERS)

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@cd $(BUILD)/bin && ./pabrix

# The native Windows build, cross-compiled with MinGW-w64: $(WINBUILD)/bin/pabrix.exe
# with the native build's data folder beside it.
windows: setup-test build
	@cmake --preset windows -B $(WINBUILD) \
	  -DPABRIX_NATIVE_DATA_DIR=$(abspath $(BUILD))/bin/data \
	  -DPABRIX_NATIVE_BUILD_DIR=$(abspath $(BUILD))
	@cmake --build $(WINBUILD) -j $(JOBS)

# The contributor's loop: the Linux unit and screen tests only (labels; the
# end-to-end, install, fuzz and Wine runs are left to make test).
check: build
	@cd $(BUILD) && $(XVFB) ctest --output-on-failure -j $(JOBS) -L '^(unit|screen)$$'

# The whole suite: the Linux build under one Xvfb display that the run starts and
# stops itself (headless tests pick SDL's dummy drivers on their own), then the
# Windows build under Wine with its own display and Wine prefix.
test: setup-test build windows
	@cd $(BUILD) && $(XVFB) ctest --output-on-failure -j $(JOBS) --timeout 900
	@bash scripts/wine-ctest.sh $(WINBUILD) --output-on-failure --timeout 120

test-windows: windows
	@bash scripts/wine-ctest.sh $(WINBUILD) --output-on-failure --timeout 120

# The installable packages in $(BUILD)/packages: the .deb, checked by lintian
# where it is installed, and the Windows zip from the MinGW-w64 build.
package: setup-test build windows
	@rm -rf $(BUILD)/packages && cd $(BUILD) && cpack
	@cd $(WINBUILD) && cpack -B $(abspath $(BUILD))/packages
	@if command -v lintian >/dev/null; then \
	  for p in $(BUILD)/packages/*.deb; do echo "lintian $$p"; lintian --fail-on error "$$p" || exit 1; done; fi

# Long fuzzing runs (10 minutes per target unless FUZZ_SECONDS says otherwise),
# each from its seeds (whole generated files) with a -max_len that fits them
# (fuzz-args/, written by the build); new inputs are kept in fuzz-corpus/.
FUZZ_SECONDS ?= 600
fuzz: setup-test build
	@cd $(BUILD) && for t in $$(ls bin | grep '^fuzz_'); do \
	  mkdir -p fuzz-corpus/$$t; echo "== $$t"; \
	  ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
	    ./bin/$$t -max_total_time=$(FUZZ_SECONDS) fuzz-corpus/$$t \
	    $$(cat fuzz-args/$$t fuzz-args/$$t.dirs 2>/dev/null) || exit 1; done

# The OpenGL picture benchmark needs a GL context: SDL's offscreen (EGL) driver
# gives one without a display; the others run on the dummy driver.
bench: build
	@cd $(BUILD) && for b in $$(ls bin | grep '^bench_'); do echo "== $$b"; \
	  video=dummy; [ "$$b" = bench_graphic ] && video=offscreen; \
	  SDL_VIDEODRIVER=$$video SDL_AUDIODRIVER=dummy ./bin/$$b || exit 1; done

# ASan + UBSan build of everything, tested the same way.
sanitize: setup-test
	@cmake --preset asan $(COMPILERS)
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=0 $(XVFB) ctest --output-on-failure -j $(JOBS)

clean:
	@rm -rf $(BUILD) build-asan $(WINBUILD)
