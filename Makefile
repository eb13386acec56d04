# The front door.
#   make test    installs what is missing, builds both presets, runs the native tests and
#                the Windows tests under Wine
#   make run     builds Kestal.exe and opens it under Wine on this display; the records live in
#                ~/.local/share/password-kestal (KESTAL_HOME), outside the build tree
#   make install / make uninstall   the launcher password-kestal, kestal-tool and a desktop menu entry
#   make screenshots   writes docs/config.png, docs/entry.png, docs/list.png
#   make e2e     one whole session in the real program, driven by mouse and keyboard
#   make fuzz    runs each fuzz target for FUZZ_SECONDS (default 600)
#   make bench   prints the benchmark table
#   make bench-audit   the table's kestal-tool parts alone: audit, export, import (no Wine)
#   make dist    writes dist/password-kestal-VERSION-win32.zip
.PHONY: all deps native windows fuzz-build bench-build test test-native test-windows test-fuzz run \
        screenshots e2e fuzz bench bench-audit clean install uninstall runnable dist tool

FUZZ_SECONDS ?= 600

all: native windows

deps:
	@bash scripts/install-deps.sh

native: deps
	cmake --preset native
	cmake --build --preset native -j2

windows: deps
	cmake --preset windows
	cmake --build --preset windows -j2

fuzz-build: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j2

test-native: native
	ctest --preset native

test-windows: windows
	bash scripts/wine-test.sh

# A short run of each fuzz target keeps the loaders honest on every change; its seed is
# fixed, so a finding repeats.
test-fuzz: fuzz-build
	FUZZ_SEED=1 bash scripts/fuzz.sh 20

test: test-native test-windows test-fuzz

fuzz: fuzz-build
	bash scripts/fuzz.sh $(FUZZ_SECONDS)

run: windows
	bash scripts/run.sh

screenshots: windows
	bash scripts/screenshots.sh

e2e: windows
	bash scripts/e2e.sh

bench-build: deps
	cmake --preset bench
	cmake --build --preset bench -j2

bench: bench-build windows
	bash scripts/bench.sh

bench-audit: bench-build
	KESTAL_BENCH_PART=audit bash scripts/bench.sh

# The Windows build this host can run: the product's own, or on a host that runs no 32-bit
# programs the x86_64 build of the same sources.
runnable: windows
	bash -c 'source scripts/wine-env.sh && wine_build_runnable'

# The Windows release: dist/password-kestal-VERSION-win32.zip.
dist: windows
	bash scripts/dist.sh

# kestal-tool for Linux, built for release (no sanitizers) in the bench preset's folder.
tool: deps
	cmake --preset bench
	cmake --build --preset bench -j2 --target kestal-tool

install: runnable tool
	bash scripts/install.sh install

uninstall:
	bash scripts/install.sh uninstall

# Only the build tree: the records and their Wine prefix live in the program folder.
clean:
	rm -rf build dist
