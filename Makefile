# The README's two commands. Everything else is reachable through CMake presets.
.PHONY: test run bench package deps

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

# The Debian package for display PCs: build/release/torvane-scoreboard_<version>_<arch>.deb
package: deps
	cmake --preset release
	cmake --build --preset release
	cd build/release && cpack
