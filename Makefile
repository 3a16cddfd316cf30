# The two commands a newcomer needs: `make run` (a demonstration, or FILE=...) and `make test`.
JOBS ?= $(shell nproc)
# Warnings are errors in CI only (.ci/run sets WERROR=ON): a warning that a
# newer compiler adds must not stop a user's build.
WERROR ?= OFF
CONFIGURE = -DOSTREL_WERROR=$(WERROR) >/dev/null

.PHONY: deps build run test asan tsan fuzz bench package clean

deps:
	@tools/install-deps.sh

build: deps
	@cmake --preset default $(CONFIGURE)
	@cmake --build --preset default -j $(JOBS)

# Starts the viewer on FILE (any number of files, separated by spaces), or on a
# demonstration log that another process keeps writing when FILE is not given.
run: build
	@tools/run-viewer.sh $(FILE)

test: build
	@ctest --preset default -j $(JOBS)

asan: deps
	@cmake --preset asan $(CONFIGURE)
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

# The threaded parts (watcher, follow, truncation, filter) under ThreadSanitizer.
tsan: deps
	@cmake --preset tsan $(CONFIGURE)
	@cmake --build --preset tsan -j $(JOBS) --target ostrel_core_tests file_writer
	@ctest --preset tsan -j $(JOBS) -R '$(or $(TSAN_TESTS),Watcher|Follow|Truncation|SigbusGuard|TextFileDoc|LineIndex|LineFilter|StreamSource|RecordSummaries|ShownSet|CommandSource|SummariesWindow|Journal|SshSource|SshView|MergedRows|Rotation)'

fuzz: deps
	@cmake --preset fuzz $(CONFIGURE)
	@cmake --build --preset fuzz -j $(JOBS) --target fuzzers
	@tools/run-fuzzers.sh build-fuzz $(or $(FUZZ_SECONDS),30)

bench: deps
	@OSTREL_BENCH_DEPS=1 tools/install-deps.sh
	@cmake --preset release $(CONFIGURE)
	@cmake --build --preset release -j $(JOBS)

# The Debian package, from a Release build of its own: build-package/ostrel-viewer_<version>_<arch>.deb.
package: deps
	@cmake --preset package >/dev/null
	@cmake --build --preset package -j $(JOBS)
	@cpack --preset package

clean:
	rm -rf build build-asan build-tsan build-fuzz build-release build-package
