# The front door.
#   make test    installs what is missing, builds both presets, runs the native tests and
#                the Windows tests under Wine
#   make run     builds Kestal.exe and opens it under Wine on this display
#   make screenshots   writes docs/config.png, docs/entry.png, docs/list.png
#   make e2e     one whole session in the real program, driven by mouse and keyboard
.PHONY: all deps native windows test test-native test-windows run screenshots e2e clean

all: native windows

deps:
	@bash scripts/install-deps.sh

native: deps
	cmake --preset native
	cmake --build --preset native -j2

windows: deps
	cmake --preset windows
	cmake --build --preset windows -j2

test-native: native
	ctest --preset native

test-windows: windows
	bash scripts/wine-test.sh

test: test-native test-windows

run: windows
	bash scripts/run.sh

screenshots: windows
	bash scripts/screenshots.sh

e2e: windows
	bash scripts/e2e.sh

clean:
	rm -rf build
