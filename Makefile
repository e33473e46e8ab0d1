# The README's commands: `make demo` (the sample drawing through zrxhost) and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: setup setup-demo build build-demo test demo bench asan-test fuzz portable-test package install-test format clean

setup:
	./scripts/setup.sh test

setup-demo:
	./scripts/setup.sh demo

# Everything: the host, the module, the window, the tests and the benchmarks. The window is asked for
# by name: a build folder that `make demo` configured before Qt was installed has it cached off.
build: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRX_TESTS=ON -DZRX_BENCH=ON -DZRX_WERROR=ON -DZRX_WINDOW=ON
	cmake --build $(BUILD) -j $(JOBS)

# Only what the demo runs: zrxhost and the two modules.
build-demo: setup-demo
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRX_TESTS=OFF -DZRX_BENCH=OFF -DZRX_WERROR=OFF
	cmake --build $(BUILD) -j $(JOBS) --target zrxhost ZrxForTally ZrxForRetally

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan-test: setup
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZRX_SANITIZE=ON -DZRX_BENCH=OFF -DZRX_WINDOW=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
		UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# The module as it would move to another host: built with the public host API only and tested
# (module/host.h), and its sources checked by a Windows compiler, where wchar_t holds 16 bits.
PORTABLE_BUILD ?= build-portable
portable-test:
	./scripts/setup.sh portable
	cmake -S . -B $(PORTABLE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRX_MODULE_PORTABLE=ON -DZRX_BENCH=OFF -DZRX_WINDOW=OFF -DZRX_WERROR=ON
	cmake --build $(PORTABLE_BUILD) -j $(JOBS) --target module_tests ZrxForTally ZrxForRetally zrxhost testmodule_holder testmodule_hello
	$(PORTABLE_BUILD)/tests/module_tests
	cd $(PORTABLE_BUILD) && ctest --output-on-failure -j $(JOBS) -R '^scenario\.test_(re)?tally'
	for f in module/*.cpp command/*.cpp text/*.cpp jig/*.cpp retally/*/*.cpp; do \
		x86_64-w64-mingw32-g++ -std=c++20 -fsyntax-only -Wall -Wextra -Wshadow -Wconversion -Werror -I. -Ihost/include $$f || exit 1; \
	done

# The Debian package (CPack; its library dependencies from dpkg-shlibdeps): out/zrxtally_VERSION_ARCH.deb,
# built as the tests build (GCC 12 warns falsely at -O3), its files stripped of the debugging data.
PACKAGE_BUILD ?= build-package
package:
	./scripts/setup.sh package
	cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRX_TESTS=OFF -DZRX_BENCH=OFF -DZRX_WERROR=ON -DZRX_WINDOW=ON
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB

# The package installed on this machine as a user installs it, then checked from PATH (as root, or
# through sudo): CI's machine is new for each run.
install-test: package
	cd out && $$( [ "$$(id -u)" -eq 0 ] || echo sudo ) env DEBIAN_FRONTEND=noninteractive apt-get install -y ./zrxtally_*.deb
	./scripts/smoke-installed.sh

# Every fuzz target for FUZZ_SECONDS each under ASan and UBSan; a finding fails.
FUZZ_SECONDS ?= 60
fuzz:
	./scripts/setup.sh fuzz
	JOBS=$(JOBS) ./fuzz/run.sh $(FUZZ_SECONDS)

demo: build-demo
	./examples/run-demo.sh $(BUILD)

# The benchmarks, then the DXF comparison with the other libraries (installed for it alone).
bench:
	./scripts/setup.sh bench
	$(MAKE) build
	./bench/run-all.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(PACKAGE_BUILD)
