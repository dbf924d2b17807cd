# The two commands for a fresh Debian machine, as root: `make demo` and
# `make test`. Each installs what is missing (tools/bootstrap), builds and
# does its job.
BUILD  ?= build
NATIVE ?= $(BUILD)/native
JOBS   ?= $(shell nproc)
XVFB   := xvfb-run -a -s "-screen 0 1024x768x24"
# Debian's Wine 8 has no preloader: a new Wine process maps Windows' shared
# user data at 0x7ffe0000 only after Linux has put its heap at a random
# address above wine64 (0x7d000000). About one start in 3,500 the two
# collide, and the process dies before any Windows code runs ("failed to map
# the shared user data: c0000018", exit status 1, nothing printed under
# WINEDEBUG=-all; a Windows parent sees 1359). Without address-space
# randomization, inherited by every Wine process below, the heap starts
# right after wine64, 48 MiB below it.
NORANDOM := setarch $(shell uname -m) --addr-no-randomize

.PHONY: all bootstrap build native package test demo fuzz bench mutate clean

all: build

bootstrap:
	@tools/bootstrap

$(BUILD)/CMakeCache.txt: | bootstrap
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DNATIVE_BUILD_DIR=$(abspath $(NATIVE))

$(NATIVE)/CMakeCache.txt: | bootstrap
	CC=clang CXX=clang++ cmake -S . -B $(NATIVE)

build: bootstrap $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

native: bootstrap $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS)

# MSP=<patch package> puts it in Files, lists it in SHA256SUMS and zips the
# package. SIGN_PFX=<.pfx> SIGN_PASS_FILE=<password file> [SIGN_TIMESTAMP=<url>]
# signs setup.exe.
package: build
	MSP=$(MSP) SIGN_PFX=$(SIGN_PFX) SIGN_PASS_FILE=$(SIGN_PASS_FILE) \
	  SIGN_TIMESTAMP=$(SIGN_TIMESTAMP) tools/package $(BUILD)

test: build native
	$(NORANDOM) $(XVFB) ctest --test-dir $(BUILD) --output-on-failure

# The demo makes its package with tools/package and the test bed's real patch.
demo: build
	$(NORANDOM) $(XVFB) python3 tools/demo.py

FUZZ := $(BUILD)/fuzz
FUZZ_SECONDS ?= 60

$(FUZZ)/CMakeCache.txt: | bootstrap
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DBUILD_FUZZERS=ON

fuzz: bootstrap $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run $(abspath $(FUZZ))

# Generic faults planted one at a time in the portable sources, each judged
# by the native unit tables (tools/mutate). A tool, not a test.
MUTATE := $(BUILD)/mutate

$(MUTATE)/CMakeCache.txt: | bootstrap
	CC=clang CXX=clang++ cmake -S . -B $(MUTATE)

mutate: bootstrap $(MUTATE)/CMakeCache.txt
	tools/mutate $(abspath $(MUTATE))

bench: build
	-$(NORANDOM) $(XVFB) python3 bench/run.py

clean:
	rm -rf $(BUILD)
