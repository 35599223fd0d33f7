#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need, by group:
#
#   scripts/setup-debian.sh [GROUP...]     (no group: all of them)
#
#   demo   build and run the native demo (the demo preset): compiler, CMake, SDL2, OpenGL,
#          fonts, and zenity for the start-up question
#   dev    the rest of the native build (the linux and sanitize presets): tests, benchmarks,
#          tools, fuzzing, the pinned clang-format
#   win32  the Windows cross build and Wine to run it
#   e2e    the virtual display and X tools of the end-to-end tests and screenshots
#
# scripts/run-demo.sh asks for demo, scripts/run-tests.sh for all. Safe to run again: it
# installs only what is missing. Needs root (or sudo).
set -euo pipefail

group_demo=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libgl-dev libglu1-mesa-dev libfreetype-dev libfontconfig-dev fonts-comic-neue
  zenity
)
group_dev=(
  git libgtest-dev libgmock-dev libbenchmark-dev libosmesa6-dev libx11-dev libpng-dev
  libfftw3-dev
  # xmrender's FLAC output: the header to build; the library is loaded only when FLAC is asked.
  libsndfile1-dev
  clang libclang-rt-14-dev clang-format-14
)
group_win32=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64
  libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
  libasound2:i386 libasound2-plugins:i386
  # Wine's display driver finds the screen's modes through XRandR, which it loads at run time:
  # without it full-screen 1280x720 is refused even on a display that has that mode.
  libxrandr2:i386 libxrandr2
)
group_e2e=(xvfb xauth xdotool x11-apps imagemagick procps)

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(demo dev win32 e2e)
packages=()
for g in "${groups[@]}"; do
  case $g in
    demo) packages+=("${group_demo[@]}") ;;
    dev) packages+=("${group_demo[@]}" "${group_dev[@]}") ;;
    win32) packages+=("${group_win32[@]}") ;;
    e2e) packages+=("${group_e2e[@]}") ;;
    *)
      echo "setup: unknown group '$g' (groups: demo dev win32 e2e)" >&2
      exit 1
      ;;
  esac
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
# The Windows build's Wine runs 32-bit programs: its libraries come from the i386 architecture.
if [[ " ${groups[*]} " == *" win32 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_update=1
fi
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    [[ " ${missing[*]} " == *" $p "* ]] || missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ] && [ -z "${need_update:-}" ]; then
  exit 0
fi
echo "setup: installing ${#missing[@]} Debian packages: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
