# Thin wrapper around CMake; see README.md.
.PHONY: demo test build package clean

demo:
	scripts/demo

test:
	scripts/test

build:
	scripts/install-deps
	cmake -S . -B build/dev -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build/dev -j$$(nproc)

package:
	scripts/package

clean:
	rm -rf build demo-output
