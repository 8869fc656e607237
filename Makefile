# Front door. `make test` is what CI runs on a fresh machine.
DEBIAN_PACKAGES := cmake ninja-build g++ clang libclang-rt-14-dev pkg-config \
	libsafec-dev libgtest-dev libgmock-dev libbenchmark-dev \
	libyaml-cpp-dev nlohmann-json3-dev libcli11-dev valgrind dpkg-dev

# The aarch64 cross build: compiler, qemu-user and Debian's :arm64 libraries.
CROSS_PACKAGES := g++-aarch64-linux-gnu qemu-user libsafec-dev:arm64 \
	libgtest-dev:arm64 libgmock-dev:arm64 libyaml-cpp0.7:arm64
# libyaml-cpp-dev is not multi-arch: its arm64 build is unpacked here instead.
CROSS_SIDE_DIR := build/aarch64-deps
CROSS_SIDE_PACKAGES := libyaml-cpp-dev:arm64 libyaml-cpp0.7:arm64

.PHONY: all deps test test-gcc test-clang cross-deps cross-test deb run bench fuzz clean

all: test

# Installs the Debian packages that are missing (needs root on a fresh machine).
deps:
	@missing=""; for p in $(DEBIAN_PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; \
	fi

# The cross run goes last: it compares its traces with the native build's.
test:
	$(MAKE) test-gcc
	$(MAKE) test-clang
	$(MAKE) cross-test

test-gcc: deps
	cmake --preset test
	cmake --build --preset test
	ctest --preset test

test-clang: deps
	cmake --preset clang-test
	cmake --build --preset clang-test
	ctest --preset clang-test

cross-deps: deps
	@dpkg --print-foreign-architectures | grep -qx arm64 || \
	  { dpkg --add-architecture arm64 && apt-get update; }
	@missing=""; for p in $(CROSS_PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi
	@if [ ! -d $(CROSS_SIDE_DIR)/usr ]; then \
	  rm -rf $(CROSS_SIDE_DIR).download && mkdir -p $(CROSS_SIDE_DIR).download && \
	  (cd $(CROSS_SIDE_DIR).download && apt-get download $(CROSS_SIDE_PACKAGES)) && \
	  for deb in $(CROSS_SIDE_DIR).download/*.deb; do dpkg-deb -x $$deb $(CROSS_SIDE_DIR); done && \
	  rm -rf $(CROSS_SIDE_DIR).download; \
	fi

# Builds for aarch64 and runs every test under qemu, among them the check that
# zep-sim plays every scenario exactly as the native test build does.
cross-test: cross-deps
	cmake --preset test
	cmake --build --preset test --target zep-sim sta_meas
	cmake --preset aarch64
	cmake --build --preset aarch64
	ctest --preset aarch64

# Debian package of the library, headers, pkg-config file and zep-sim.
deb: deps
	cmake --preset package
	cmake --build --preset package
	cpack --preset package -B $(CURDIR)/build/package/deb
	@ls build/package/deb/*.deb

# The main job: the simulator's built-in demo.
run: deps
	cmake --preset release
	cmake --build --preset release --target zep-sim sta_meas
	./build/release/bin/zep-sim --lib ./build/release/lib/libsta_meas.so

bench: deps
	cmake --preset release
	cmake --build --preset release
	./build/release/bench/sta_meas_bench

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz

clean:
	rm -rf build
