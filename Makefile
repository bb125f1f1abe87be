# Set-up and everyday commands. `make run` and `make test` install what is
# missing, build, and then start the program or run every test.

BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

# Debian 12 packages the build, the tests, the screenshots, the benchmarks and
# the format check need (clang-format brings git-clang-format). The tests read
# quelt-db's outputs as a user's programs do (xmllint from libxml2-utils,
# Python's csv module) and read its PDFs as a reader's tools do (pdfinfo and
# pdftotext from poppler-utils, qpdf), with a CJK font that draws some
# characters with one glyph (fonts-ipaexfont-gothic); the benchmarks time the
# engine's own shell (sqlite3).
# The server ones: Qt's PostgreSQL driver and libpq's headers for the program,
# and the server itself for the tests' and benchmarks' throwaway server (no
# cluster of the system's is used; postgresql-common makes one on
# installation, which is left as it is).
PACKAGES := g++ cmake ninja-build qt6-base-dev qt6-svg-dev libqt6sql6-sqlite fonts-dejavu-core \
            libbenchmark-dev libsqlite3-dev clang-format libxml2-utils python3 sqlite3 \
            poppler-utils qpdf fonts-ipaexfont-gothic \
            libqt6sql6-psql libpq-dev postgresql postgresql-common
# ... and those `make package` and its test need: dpkg-shlibdeps (with file,
# which tells it the programs), lintian, man for the pages' warnings,
# bash-completion to try the completion in, and the validators of the
# desktop's menu entry and of the software centre's description.
PACKAGES += dpkg-dev file lintian man-db bash-completion desktop-file-utils appstream

# Every build the Makefile makes treats a compiler warning as an error.
CONFIGURE := cmake -S . -G Ninja -DCMAKE_COMPILE_WARNING_AS_ERROR=ON

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run test test-sanitize soak bench format-check package clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja: CMakeLists.txt Makefile
	$(CONFIGURE) -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

demo/quelt.mdb: | build
	mkdir -p demo
	$(BUILD)/quelt-db demo demo/quelt.mdb

run: build demo/quelt.mdb
	cd demo && ../$(BUILD)/quelt

# quelt_VERSION_ARCH.deb in $(BUILD), for `apt install ./$(BUILD)/quelt_*.deb`.
package: build
	cmake --build $(BUILD) --target package

# The reliability tests leave what they measured (kills, two copies, soak)
# in a summary file; each run shows it.
RELIABILITY_SUMMARY = tests/reliability-summary.txt

test: build
	rm -f $(BUILD)/$(RELIABILITY_SUMMARY)
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@cat $(BUILD)/$(RELIABILITY_SUMMARY)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
SANITIZE_ENV := ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 QT_QPA_PLATFORM=offscreen

# The window tests' second run against the server is left to `make test`: the
# same windows, and the engine's server code still runs here through the
# server's own tests and quelt-db copy. Unoptimised, with the assertions on:
# it builds in about half the time of an optimised build, which is most of
# this run, and the sanitizers see every access the source makes.
SANITIZE_BUILD_TYPE ?= Debug

test-sanitize: deps
	$(CONFIGURE) -B $(BUILD)-sanitize -DCMAKE_BUILD_TYPE=$(SANITIZE_BUILD_TYPE) -DQUELT_SANITIZE=ON \
		-DQUELT_SERVER_TESTS=OFF
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	rm -f $(BUILD)-sanitize/$(RELIABILITY_SUMMARY)
	cd $(BUILD)-sanitize && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)
	@cat $(BUILD)-sanitize/$(RELIABILITY_SUMMARY)

# The reliability tests at length: more kills of a copy in mid-Submit and a
# longer soak than `make test` runs (20 and 300).
KILLS        ?= 50
SOAK_SUBMITS ?= 10000

soak: build
	rm -f $(BUILD)/$(RELIABILITY_SUMMARY)
	cd $(BUILD)/tests && QT_QPA_PLATFORM=offscreen QUELT_KILLS=$(KILLS) \
		QUELT_SOAK_SUBMITS=$(SOAK_SUBMITS) ./test_reliability
	@cat $(BUILD)/$(RELIABILITY_SUMMARY)

# Builds only what the benchmarks run (not the tests), makes the large files
# once in ~/.cache/quelt-bench, prints the comparison and writes bench/results.md.
bench: deps
	$(CONFIGURE) -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DQUELT_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS) --target quelt_bench
	$(BUILD)-bench/bench/quelt_bench

# Every line changed since .clang-format came in must be formatted by it; the
# code from before stays as it was. On a clone without that commit, the lines
# of the last commit. (git clang-format 14 exits with 0 either way, so the
# check looks at its output.)
FORMAT_BASE ?= $(shell git log --diff-filter=A --format=%H -1 -- .clang-format 2>/dev/null)

format-check: deps
	@base="$(FORMAT_BASE)"; [ -n "$$base" ] || base=HEAD~1; \
	git rev-parse -q --verify "$$base^{commit}" >/dev/null || \
	  { echo "format-check: no commit $$base to compare with"; exit 1; }; \
	echo "Checking the formatting of the lines changed since $$(git rev-parse --short $$base)"; \
	diff=$$(git clang-format --diff --quiet $$base) || exit 1; \
	if [ -n "$$diff" ]; then \
	  echo "$$diff"; echo "Not formatted; git clang-format $$base formats these lines."; exit 1; \
	fi

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize $(BUILD)-bench
