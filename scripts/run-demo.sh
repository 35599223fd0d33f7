#!/usr/bin/env bash
# Builds and runs the native demo on Debian 12: installs the packages the demo needs (the demo
# group of scripts/setup-debian.sh, through sudo when not root; no test, tool or Windows
# packages), builds the demo preset (the program alone, in build/demo), and starts
# build/demo/ostrel. Needs a display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh demo
cmake --preset demo
cmake --build --preset demo -j"$(nproc)" --target ostrel
exec build/demo/ostrel
