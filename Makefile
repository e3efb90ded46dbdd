# The two commands of the README:
#   make demo   builds everything and runs fromsel on the example data
#   make test   builds native and Windows code and runs every test
.PHONY: all bootstrap native win32 win64 asan demo test test-native clean

JOBS ?= 2
export WINEPREFIX := $(CURDIR)/build/wineprefix
export FROMSEL_WINEPREFIX32 := $(CURDIR)/build/wineprefix32

all: native win32 win64

bootstrap:
	@bash scripts/bootstrap.sh

native: bootstrap
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j $(JOBS)

win32: bootstrap
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j $(JOBS)

win64: bootstrap
	@cmake --preset win64 >/dev/null
	@cmake --build --preset win64 -j $(JOBS)

asan: bootstrap
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)

demo: native win32 win64
	@bash scripts/demo.sh

# One ctest run over the native, the win64 and the win32 tree, so one
# summary counts them all. The win32 tree's programs run under the emulated
# 32-bit Wine (scripts/wine-common.sh), in a prefix of their own.
ALL_TREES := native win64 win32
build/all/CTestTestfile.cmake: Makefile
	@mkdir -p build/all
	@printf 'subdirs("../%s")\n' $(ALL_TREES) > $@

test: test-asan test-fuzz native win32 win64 build/all/CTestTestfile.cmake
	@bash scripts/wine-prefix.sh
	@cd build/all && xvfb-run -a -s "-screen 0 1280x1024x24" \
	  ctest --output-on-failure -j $(JOBS) --timeout 300; \
	  rc=$$?; /usr/lib/wine/wineserver -k 2>/dev/null; \
	  WINEPREFIX=$(FROMSEL_WINEPREFIX32) /usr/lib/wine/wineserver -k 2>/dev/null; exit $$rc

test-native: native
	@cd build/native && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build dist

# The release package: dist/fromsel-VERSION-win32.zip with the 32-bit
# fromsel.dll and fromsel.exe, the user guide and the examples.
.PHONY: dist
dist: win32
	@bash scripts/dist.sh

# Sanitizer checks that `make test` runs first: the native unit suite built
# by clang under ASan+UBSan, then every fuzz target for FUZZ_SECONDS (30 s).
# `make fuzz` runs the targets longer (600 s each), `make bench` runs the
# benchmarks and writes build/bench/RESULTS.md.
.PHONY: test-asan test-fuzz fuzz bench
test-asan: asan
	@cd build/asan && ctest --output-on-failure -j $(JOBS) --timeout 300

# The short run in `make test` uses a fixed seed, so it explores the same
# inputs each time; `make fuzz` keeps libFuzzer's random seeds.
test-fuzz: bootstrap
	@FUZZ_SEED=$(or $(FUZZ_SEED),1) FUZZ_SECONDS=$(or $(FUZZ_SECONDS),30) bash scripts/fuzz.sh

fuzz: bootstrap
	@FUZZ_SECONDS=$(or $(FUZZ_SECONDS),600) bash scripts/fuzz.sh

bench: bootstrap
	@bash scripts/bench.sh
