# The README's two commands. Everything else is reachable through CMake presets.
.PHONY: test run bench deps

deps:
	@tools/install-deps

test: deps
	cmake --preset dev
	cmake --build --preset dev
	ctest --preset dev
	cmake --preset sanitize
	cmake --build --preset sanitize
	ctest --preset sanitize
	tools/fuzz 5

run: deps
	cmake --preset release
	cmake --build --preset release
	tools/run build/release/src/torvane-scoreboard

bench: deps
	cmake --preset release
	cmake --build --preset release
	tools/bench
