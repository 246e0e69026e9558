# Front door: every target installs what it needs first.
.PHONY: deps run test bench clean

deps:
	@scripts/install-deps

run: deps
	cmake --preset release
	cmake --build --preset release
	scripts/run-pegelwerk build/release

test: deps
	cmake --preset debug
	cmake --build --preset debug
	ctest --preset debug -j2

bench: deps
	cmake --preset release
	cmake --build --preset release
	scripts/run-benchmarks build/release

clean:
	rm -rf build
