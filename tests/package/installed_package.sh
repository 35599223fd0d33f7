#!/usr/bin/env bash
# The library as a user of it gets it: installed with `cmake --install` into a scratch prefix,
# the examples built against that installed package once through find_package and once through
# pkg-config, render_wav's WAV equal to xmrender's bytes, and play_sdl playing a song to its end
# through SDL's dummy driver. Then a program of its own that takes the repository in with
# add_subdirectory and OSTREL_LIBRARY_ONLY, where looking for SDL, OpenGL, FreeType or even
# pkg-config would fail its configure.
#     installed_package.sh BUILD-DIR XMRENDER
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
xmrender=$2
song=$root/tests/fuzz/corpus/tune.xm
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
prefix=$scratch/prefix

cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
    fail "cmake --install failed: $(tail -n 5 "$scratch/install.log")"
"$xmrender" "$song" -o "$scratch/expected.wav" --quiet || fail "xmrender failed"

# Through find_package(Ostrel CONFIG).
cmake -S "$root/examples" -B "$scratch/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" >"$scratch/cmake.log" 2>&1 &&
    cmake --build "$scratch/cmake" >>"$scratch/cmake.log" 2>&1 ||
    fail "the examples do not build through find_package: $(tail -n 20 "$scratch/cmake.log")"
[ -x "$scratch/cmake/play_sdl" ] || fail "play_sdl was not built (no SDL2 found?)"
"$scratch/cmake/render_wav" "$song" "$scratch/cmake.wav" || fail "render_wav (find_package) failed"
cmp "$scratch/cmake.wav" "$scratch/expected.wav" || fail "render_wav (find_package) differs from xmrender"

# Through pkg-config, against the shared library.
libdir=$(dirname "$(find "$prefix" -name ostrel.pc | head -1)")/..
export PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name ostrel.pc | head -1)")
flags=$(pkg-config --cflags --libs ostrel) || fail "pkg-config knows no ostrel"
cc -std=c99 -Wall -Wextra -Werror "$root/examples/render_wav.c" $flags -o "$scratch/render_wav_pc" ||
    fail "render_wav does not build through pkg-config ($flags)"
cc -std=c99 -Wall -Wextra -Werror "$root/examples/play_sdl.c" $flags $(pkg-config --cflags --libs sdl2) \
    -o "$scratch/play_sdl_pc" || fail "play_sdl does not build through pkg-config"
LD_LIBRARY_PATH=$(cd "$libdir" && pwd) "$scratch/render_wav_pc" "$song" "$scratch/pc.wav" ||
    fail "render_wav (pkg-config) failed"
cmp "$scratch/pc.wav" "$scratch/expected.wav" || fail "render_wav (pkg-config) differs from xmrender"

# play_sdl pulls the song through an SDL audio callback until its end has been rendered.
SDL_AUDIODRIVER=dummy timeout 30 "$scratch/cmake/play_sdl" "$song" >"$scratch/play.log" 2>&1 ||
    fail "play_sdl failed: $(tail -c 300 "$scratch/play.log")"
grep -q "1.7 / 1.7 s" "$scratch/play.log" || fail "play_sdl did not play to the end: $(tail -c 300 "$scratch/play.log")"
# add_subdirectory, the library alone.
mkdir -p "$scratch/sub"
cat >"$scratch/sub/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.16)
project(game C)
set(OSTREL_LIBRARY_ONLY ON CACHE BOOL "" FORCE)
add_subdirectory("$root" ostrel)
add_executable(render_wav "$root/examples/render_wav.c")
target_link_libraries(render_wav PRIVATE Ostrel::ostrel_static)
CMAKE
cmake -S "$scratch/sub" -B "$scratch/sub/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_Freetype=ON >"$scratch/sub.log" 2>&1 &&
    cmake --build "$scratch/sub/build" -j2 >>"$scratch/sub.log" 2>&1 ||
    fail "add_subdirectory with OSTREL_LIBRARY_ONLY does not build: $(tail -n 20 "$scratch/sub.log")"
"$scratch/sub/build/render_wav" "$song" "$scratch/sub.wav" || fail "render_wav (add_subdirectory) failed"
cmp "$scratch/sub.wav" "$scratch/expected.wav" || fail "render_wav (add_subdirectory) differs from xmrender"

echo "installed package: find_package, pkg-config and add_subdirectory builds, $(stat -c %s "$scratch/expected.wav") bytes equal to xmrender's"
