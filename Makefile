# Front door: every target installs what it needs first.
.PHONY: deps run test fuzz-long soak-long bench clean

deps:
	@scripts/install-deps

run:
	scripts/run

test:
	scripts/test

# The sound-file fuzzer for ten minutes (the suite runs it for 25 seconds).
fuzz-long: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	cmake --build --preset fuzz --target fuzz_long

# The window soak with a million user actions under ASan and UBSan, its
# private memory sampled along the way (the suite runs 10,000).
soak-long: deps
	cmake --preset debug
	cmake --build --preset debug --target integration_soak
	QT_QPA_PLATFORM=offscreen PEGELWERK_SOAK_ACTIONS=1000000 build/debug/tests/integration/integration_soak

bench: deps
	cmake --preset release
	cmake --build --preset release
	scripts/run-benchmarks build/release

clean:
	rm -rf build
