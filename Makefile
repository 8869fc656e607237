# Front door. `make test` is what CI runs on a fresh machine.
DEBIAN_PACKAGES := cmake ninja-build g++ clang libclang-rt-14-dev pkg-config \
	libsafec-dev libgtest-dev libgmock-dev libbenchmark-dev \
	libyaml-cpp-dev nlohmann-json3-dev libcli11-dev valgrind \
	libjs-chart.js chromium

.PHONY: all deps test test-gcc test-clang run load-day bench fuzz clean

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

test: test-gcc test-clang

test-gcc: deps
	cmake --preset test
	cmake --build --preset test
	ctest --preset test

test-clang: deps
	cmake --preset clang-test
	cmake --build --preset clang-test
	ctest --preset clang-test

# The main job: the simulator's built-in demo.
run: deps
	cmake --preset release
	cmake --build --preset release --target zep-sim sta_meas
	./build/release/bin/zep-sim --lib ./build/release/lib/libsta_meas.so

# A day of full load on a release build: too long for the sanitizer builds of `make test`.
load-day: deps
	cmake --preset release
	cmake --build --preset release --target zep-sim sta_meas
	./build/release/bin/zep-sim --quiet --lib ./build/release/lib/libsta_meas.so scenarios/load-day.yaml

bench: deps
	cmake --preset release
	cmake --build --preset release
	./build/release/bench/sta_meas_bench

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz

clean:
	rm -rf build
