#!/usr/bin/env bash
# Builds and runs the native demo on Debian 12: installs whatever is missing (through sudo when
# not root), builds the linux preset, and starts build/linux/ostrel. Needs a display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake --preset linux
cmake --build --preset linux -j"$(nproc)" --target ostrel
exec build/linux/ostrel
