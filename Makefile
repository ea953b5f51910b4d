# make run   installs what is missing, builds, starts Orvane on the bundled demo
# make test  installs what is missing, builds with sanitizers, runs every test
# make bench / make fuzz / make format / make format-check
# make package  builds the Debian package with CPack and checks it in a clean root

JOBS        ?= $(shell nproc)
BUILD_RUN   ?= build/release
BUILD_TEST  ?= build/test
BUILD_FUZZ  ?= build/fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_locstrg fuzz_sload fuzz_cih fuzz_project fuzz_profile fuzz_registry \
                fuzz_rawframe
CMAKE_GEN   := -G Ninja

.PHONY: setup run test bench fuzz package format format-check clean

setup:
	@tools/setup.sh

$(BUILD_RUN)/build.ninja:
	cmake -S . -B $(BUILD_RUN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DORVANE_TESTS=OFF

run: setup $(BUILD_RUN)/build.ninja
	cmake --build $(BUILD_RUN) -j $(JOBS)
	$(BUILD_RUN)/app/orvane -L $(CURDIR)/$(BUILD_RUN)/demo/demo.ini

$(BUILD_TEST)/build.ninja:
	cmake -S . -B $(BUILD_TEST) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=ON

# Every test runs once: a test that fails is a failure, never retried.
test: setup $(BUILD_TEST)/build.ninja
	cmake --build $(BUILD_TEST) -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD_TEST) --output-on-failure -j $(JOBS)

bench:
	@tools/setup.sh bench
	cmake -S . -B build/bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DORVANE_TESTS=OFF -DORVANE_BENCH=ON
	cmake --build build/bench -j $(JOBS)
	@# Every benchmark runs; the target fails at the end when one reported a regression
	@# (a ratio more than 20% below its goal) or could not run.
	@status=0; for b in $$(find build/bench/bench -name '*_bench' -type f -executable | sort); do \
	    echo "== $$b"; "$$b" || { echo "== $$b FAILED"; status=1; }; done; exit $$status

package: setup
	cmake -S . -B build/package $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DORVANE_TESTS=OFF
	cmake --build build/package -j $(JOBS)
	cd build/package && cpack -G DEB
	tools/checkpackage.sh $$(ls -t build/package/orvane_*.deb | head -1)

fuzz:
	@tools/setup.sh fuzz
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	    -DORVANE_TESTS=OFF -DORVANE_FUZZ=ON
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target $(FUZZ_TARGETS)
	@for f in $(BUILD_FUZZ)/fuzz/fuzz_*; do \
	    mkdir -p $(BUILD_FUZZ)/corpus/$$(basename $$f); \
	    echo "== $$f ($(FUZZ_SECONDS) s)"; \
	    $$f -max_total_time=$(FUZZ_SECONDS) $(BUILD_FUZZ)/corpus/$$(basename $$f) || exit 1; \
	done

format: setup
	git ls-files '*.h' '*.cpp' | xargs clang-format-14 -i

format-check: setup
	git ls-files '*.h' '*.cpp' | xargs clang-format-14 --dry-run --Werror

clean:
	rm -rf build
