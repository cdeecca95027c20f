# The two commands of README.md: `make run` and `make test`.
# Each installs what is missing, configures and builds into build/.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps test-deps configure build run test package clean

deps:
	@bash scripts/install-deps.sh

test-deps:
	@bash scripts/install-deps.sh --test

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

run: build
	@$(BUILD)/wazuna

test: test-deps build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure
	@BUILD=$(BUILD) bash scripts/check-package.sh
	@BUILD_SAN=$(BUILD)-san bash scripts/sanitize.sh

# A .deb of the tool, in $(BUILD).
package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(BUILD)-san
