# Quick start: `make run` sets up, builds and shows the sample folder; `make test` sets up, builds and
# runs every test. Both install the Debian packages that are missing first.

BUILD_DIR ?= build
ASAN_DIR  ?= build-asan
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
SAMPLES   := $(BUILD_DIR)/samples

PACKAGES := cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev \
            qt6-base-dev libgl-dev fonts-dejavu-core xvfb xauth
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build run test sanitize samples clean

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:" $$missing; \
	  $(SUDO) apt-get update -q && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS)

samples: build
	rm -rf $(SAMPLES)
	$(BUILD_DIR)/tools/lmp-samples $(SAMPLES)

run: samples
	@$(BUILD_DIR)/tools/show-samples.sh $(BUILD_DIR) $(SAMPLES)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DLMP_SANITIZE=ON -DLMP_BUILD_BENCHMARKS=OFF
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
