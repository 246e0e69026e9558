# Front door: every target installs what it needs first.
.PHONY: deps run test deb fuzz-long soak-long bench check-fresh-root clean

deps:
	@scripts/install-deps test

run:
	scripts/run

test:
	scripts/test

# The Debian package and the source package, built from debian/ by
# dpkg-buildpackage in a copy of the tree: build/deb/pegelwerk_*.deb, .dsc.
# DEB_BUILD_OPTIONS=nocheck leaves the build-time tests out.
deb:
	@scripts/install-deps deb
	rm -rf build/deb && mkdir -p build/deb/pegelwerk
	tar --exclude=./build --exclude='./obj-*' --exclude-vcs -cf - . | tar -C build/deb/pegelwerk -xf -
	cd build/deb/pegelwerk && dpkg-buildpackage -us -uc

# The sound-file fuzzer exploring at random for ten minutes (the suite replays
# its corpus and runs a fixed number of inputs from a fixed seed).
fuzz-long: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	cmake --build --preset fuzz --target fuzz_long

# The window soak with a million user actions under ASan and UBSan, its
# private memory sampled along the way (the suite runs 2,000).
soak-long: deps
	cmake --preset debug
	cmake --build --preset debug --target integration_soak
	QT_QPA_PLATFORM=offscreen PEGELWERK_SOAK_ACTIONS=1000000 build/debug/tests/integration/integration_soak

bench: deps
	cmake --preset bench
	cmake --build --preset bench
	scripts/run-benchmarks build/bench

# Both README commands and the Debian package on a fresh Debian root,
# RELEASE 12, 13 or 14 (testing) (as root; 10 to 30 minutes, less once its
# cache is filled).
RELEASE ?= 13
check-fresh-root:
	scripts/check-fresh-root $(RELEASE)

# The whole suite RUNS times beside two busy compilers, as a package build
# loads the machine: per test, how often it failed or skipped.
.PHONY: flake-hunt
RUNS ?= 20
flake-hunt: deps
	scripts/flake-hunt $(RUNS)

clean:
	rm -rf build
