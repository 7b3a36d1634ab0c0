#!/bin/sh
# Installs a built emojitag into a temporary prefix, checks that exactly the
# user's files are installed, then builds the consumer programs outside the
# project's tree and runs them: through the CMake package and through
# pkg-config. Also compiles and runs the example of README.md as shown there.
# Usage: run.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM
prefix="$tmp/prefix"
failed=0

fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# Runs a built program; a failing one is reported and the others still run.
run() {
    "$@" || fail "$1 exited with status $?"
}

cmake --install "$build" --prefix "$prefix" >/dev/null

# What is installed: the tool, its manual page, the library, its two headers,
# the CMake package and the pkg-config file. Nothing else.
libdir=$(cd "$prefix" && dirname "$(find . -name libqzcc.a)")
(cd "$prefix" && find . ! -type d | sed 's/emojitagTargets-[a-z]*\.cmake$/emojitagTargets-CONFIG.cmake/' |
    sort) >"$tmp/installed"
sort >"$tmp/expected" <<LIST
./bin/emojitag
./bin/emojitag-extract
./bin/emojitag-list
./include/emojitag/CP932.h
./include/emojitag/qz_cc_api.h
$libdir/cmake/emojitag/emojitagConfig.cmake
$libdir/cmake/emojitag/emojitagConfigVersion.cmake
$libdir/cmake/emojitag/emojitagTargets-CONFIG.cmake
$libdir/cmake/emojitag/emojitagTargets.cmake
$libdir/libqzcc.a
$libdir/pkgconfig/emojitag.pc
./share/man/man1/emojitag-extract.1
./share/man/man1/emojitag-list.1
./share/man/man1/emojitag.1
LIST
diff -u "$tmp/expected" "$tmp/installed" || fail "installed files differ from the list above"
for page in emojitag.1 emojitag-extract.1 emojitag-list.1; do
    cmp -s "$top/docs/$page" "$prefix/share/man/man1/$page" || fail "$page not installed as written"
done
"$prefix/bin/emojitag-extract" --version >"$tmp/version" || fail "installed emojitag-extract --version failed"
"$prefix/bin/emojitag-list" --version >"$tmp/version" || fail "installed emojitag-list --version failed"
status=0
"$prefix/bin/emojitag" 2>"$tmp/usage" || status=$?
if [ "$status" -ne 255 ] || [ "$(cat "$tmp/usage")" != "Error: no file" ]; then
    fail "installed tool: status $status, message '$(cat "$tmp/usage")'"
fi

# Through the CMake package, from a copy of the consumer project.
mkdir "$tmp/src"
cp "$here/CMakeLists.txt" "$here/roundtrip.c" "$here/roundtrip.cpp" "$tmp/src/"
cmake -S "$tmp/src" -B "$tmp/cmake-build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$tmp/cmake-build" >/dev/null
run "$tmp/cmake-build/roundtrip_c"
run "$tmp/cmake-build/roundtrip_cpp"

# Through pkg-config, seeing only the temporary prefix. The C program is
# linked by the C compiler alone.
PKG_CONFIG_LIBDIR="$prefix/$libdir/pkgconfig"
PKG_CONFIG_PATH=
export PKG_CONFIG_LIBDIR PKG_CONFIG_PATH
warn="-Wall -Wextra -Wpedantic -Werror"
# shellcheck disable=SC2046,SC2086
cc -std=c99 $warn -o "$tmp/pc_c" "$tmp/src/roundtrip.c" $(pkg-config --cflags --static --libs emojitag)
# shellcheck disable=SC2046,SC2086
c++ -std=c++17 $warn -o "$tmp/pc_cpp" "$tmp/src/roundtrip.cpp" $(pkg-config --cflags --libs emojitag)
run "$tmp/pc_c"
run "$tmp/pc_cpp"

# The README's example, compiled with the command the README shows.
awk '/^## Use the converter in your program/ { section = 1; next }
     /^## / { section = 0 }
     section && /^```c$/ { code = 1; next }
     code && /^```$/ { exit }
     code { print }' "$top/README.md" >"$tmp/hiragana.c"
[ -s "$tmp/hiragana.c" ] || fail "no C example found in README.md"
# shellcheck disable=SC2046
cc -o "$tmp/hiragana" "$tmp/hiragana.c" $(pkg-config --cflags --static --libs emojitag)
status=0
out=$("$tmp/hiragana") || status=$?
if [ "$status" -ne 0 ] || [ "$out" != "2 bytes: 30 42" ]; then
    fail "README example: status $status, printed '$out'"
fi

[ "$failed" -eq 0 ] && echo "consumer test: ok"
exit "$failed"
