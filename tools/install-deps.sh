#!/bin/sh
# Installs what a make target needs, when it is missing.
#   sh tools/install-deps.sh build   make, CMake and a C++ compiler: all that
#                                    `make demo`, `make build` and `make install` need
#   sh tools/install-deps.sh check   those and what the tests, fuzzing and
#                                    benchmarks use (the default)
#   sh tools/install-deps.sh windows those, the mingw-w64 cross compiler, wine
#                                    (wine64 has the 64-bit loader, wine the
#                                    launcher), zip and groff for the archive,
#                                    and the ja_JP.UTF-8 locale, under which
#                                    wine takes the Japanese code page (932)
# Every need is looked for first, as commands or files (a library through
# pkg-config or its header), and only the Debian packages of what is missing
# are installed, with apt-get. Without apt-get, or the right to run it, the
# script names what is missing and the Debian package that has it, and stops
# only when the target cannot run without it.
# The tool itself needs only the C++ standard library.
set -e

target=${1:-check}
case "$target" in
build | check | windows) ;;
*)
    echo "usage: sh tools/install-deps.sh build|check|windows" >&2
    exit 2
    ;;
esac

# One need a line: target;kind;Debian package;what it is;tests
#   target  build (every target), check or windows
#   kind    need: the target cannot run without it;
#           want: the tests that use it are skipped without it (or only
#                 `make bench` uses it); the set-up does not fail for it;
#           try:  the same, installed only when the archive has it
#   tests   all must pass; a|b passes when a or b does:
#           cmd:NAME a command, file:PATH a file (PATH may be a pattern),
#           pc:MODULE a pkg-config module, inc:HEADER a header the C++
#           compiler finds, locale:NAME a built locale,
#           clangrt clang's runtime libraries (libFuzzer, the sanitizers)
# The package clang-rt stands for the runtime of the installed clang, and
# browser for the headless browser the archive offers.
# What the tests use:
#   python3     CMake looks for it to run the contact sheet's tests, which
#               read the sheet back with html.parser: a need, and in every
#               Debian anyway
#   acl, attr   setfacl and setfattr give a test file an access list or an
#               extended attribute, for the permission tests; without them
#               those tests are skipped
#   strace      stops a run the moment it creates a temporary file, for the
#               tests of the clean-up on a signal; without it they are skipped
#   browser     renders a contact sheet in the browser test; without one that
#               test is skipped and says why
#   fonts-ipafont-gothic  Japanese glyphs in the browser test's screenshots
#               (without it they show boxes; the test still runs)
#   gifsicle    makes test GIFs (animated, turned) and reads back frames
needs() {
    cat <<'NEEDS'
build;need;make;make;cmd:make
build;need;cmake;CMake;cmd:cmake
build;need;g++;a C++17 compiler;cmd:c++|cmd:g++|cmd:clang++
check;need;g++;the C++ compiler c++, for the consumer test;cmd:c++
check;need;gcc;the C compiler cc, for the consumer test;cmd:cc
check;need;pkgconf;pkg-config, for the consumer test;cmd:pkg-config
check;need;groff-base;groff, for the manual pages;cmd:groff
check;need;libgtest-dev;GoogleTest;pc:gtest|inc:gtest/gtest.h
check;need;libgmock-dev;GoogleMock;pc:gmock|inc:gmock/gmock.h
check;need;libjpeg-turbo-progs;libjpeg-turbo's cjpeg, djpeg, jpegtran, rdjpgcom, wrjpgcom;cmd:cjpeg cmd:djpeg cmd:jpegtran cmd:rdjpgcom cmd:wrjpgcom
check;need;giflib-tools;giflib's giftext and gifbuild;cmd:giftext cmd:gifbuild
check;need;gifsicle;gifsicle;cmd:gifsicle
check;need;libimage-exiftool-perl;exiftool;cmd:exiftool
check;need;python3;python3 (its html.parser), for the contact sheet's tests;cmd:python3
check;need;clang;clang++, for the fuzzing harnesses;cmd:clang++
check;need;clang-rt;clang's runtime (libFuzzer, ASan, UBSan), for the fuzzing harnesses;clangrt
check;want;libbenchmark-dev;Google Benchmark, for make bench;pc:benchmark|inc:benchmark/benchmark.h
check;want;libicu-dev;ICU, for make bench;pc:icu-uc|inc:unicode/ucnv.h
check;want;time;/usr/bin/time, for make bench;file:/usr/bin/time
check;want;hyperfine;hyperfine, for make bench;cmd:hyperfine
check;want;acl;setfacl and getfacl, for the permission tests;cmd:setfacl cmd:getfacl
check;want;attr;setfattr and getfattr, for the permission tests;cmd:setfattr cmd:getfattr
check;want;strace;strace, for the tests that stop a run at a chosen system call;cmd:strace
check;try;browser;a headless browser, for the contact sheet's browser test;cmd:chromium-headless-shell|cmd:chromium
check;want;libreoffice-calc-nogui;LibreOffice Calc, for the spreadsheet round trip;cmd:soffice
check;want;python3-uno;LibreOffice's Python bridge, for the spreadsheet round trip;file:/usr/lib/python3/dist-packages/uno.py
check;want;fonts-ipafont-gothic;a Japanese font, for the browser test's screenshots;file:/usr/share/fonts/opentype/ipafont-gothic/ipag*.ttf
windows;need;g++-mingw-w64-x86-64;the mingw-w64 cross compiler for 64-bit Windows;cmd:x86_64-w64-mingw32-g++ cmd:x86_64-w64-mingw32-gcc
windows;need;zip;zip, for the archive;cmd:zip
windows;need;groff-base;groff, for the archive's manual pages;cmd:groff
windows;want;wine;wine, for the Windows build's table;cmd:wine cmd:wineboot cmd:wineserver
windows;want;wine64;wine's 64-bit loader, for the Windows build's table;cmd:wine64|file:/usr/lib/wine/wine64
windows;want;locales;the ja_JP.UTF-8 locale (or its source), for the Windows build's table;locale:ja_JP.UTF-8|file:/usr/share/i18n/locales/ja_JP
NEEDS
}

# The runtime libraries of the installed clang.
clangRuntimeFound() {
    command -v clang++ >/dev/null 2>&1 || return 1
    dir=$(clang++ -print-resource-dir 2>/dev/null) || return 1
    for f in "$dir"/lib/*/libclang_rt.fuzzer*.a; do
        [ -e "$f" ] && return 0
    done
    return 1
}

# One test: 0 when it passes.
passes() {
    case "$1" in
    cmd:*) command -v "${1#cmd:}" >/dev/null 2>&1 ;;
    file:*)
        for f in ${1#file:}; do
            [ -e "$f" ] && return 0
        done
        return 1
        ;;
    pc:*) command -v pkg-config >/dev/null 2>&1 && pkg-config --exists "${1#pc:}" ;;
    inc:*) echo "#include <${1#inc:}>" | c++ -x c++ -E - >/dev/null 2>&1 ;;
    locale:*) locale -a 2>/dev/null | sed 's/utf8$/UTF-8/' | grep -qx "${1#locale:}" ;;
    clangrt) clangRuntimeFound ;;
    *) return 1 ;;
    esac
}

# A need's tests: 0 when all pass (each by one of its alternatives).
found() {
    for test in $1; do
        ok=1
        for alternative in $(echo "$test" | tr '|' ' '); do
            passes "$alternative" && ok=0 && break
        done
        [ "$ok" -eq 0 ] || return 1
    done
    return 0
}

# The needs of the target, with their Debian packages, that are missing:
# lines "kind;package;what".
missingNeeds() {
    needs | while IFS=';' read -r group kind package what tests; do
        [ "$group" = build ] || [ "$group" = "$target" ] || continue
        found "$tests" || echo "$kind;$package;$what"
    done
}

# The Debian package for clang's runtime: libclang-rt-N-dev for clang N.
clangRuntimePackage() {
    version=$(clang++ --version 2>/dev/null | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1)
    if [ -n "$version" ]; then echo "libclang-rt-$version-dev"; fi
}

# The headless browser the archive offers: the shell alone where there is one.
browserPackage() {
    for p in chromium-headless-shell chromium; do
        if apt-cache policy "$p" 2>/dev/null | grep -q 'Candidate: [0-9]'; then
            echo "$p"
            return
        fi
    done
}

SUDO=""
if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
fi
canInstall=no
if command -v apt-get >/dev/null 2>&1 && { [ "$(id -u)" -eq 0 ] || [ -n "$SUDO" ]; }; then
    canInstall=yes
fi

apt() {
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get "$@"
}

aptInstall() {
    [ -n "$*" ] || return 0
    echo "installing: $*"
    apt install -y -qq --no-install-recommends "$@"
}

# The packages of the missing needs of one kind, with clang-rt and browser
# resolved.
packagesOf() {
    echo "$missing" | while IFS=';' read -r kind package what; do
        [ "$kind" = "$1" ] || continue
        case "$package" in
        clang-rt) package=$(clangRuntimePackage) ;;
        browser) package=$(browserPackage) ;;
        esac
        [ -n "$package" ] && echo "$package"
    done | sort -u | tr '\n' ' '
}

missing=$(missingNeeds)
# The package lists are split into words on purpose.
# shellcheck disable=SC2046,SC2086
if [ -n "$missing" ] && [ "$canInstall" = yes ]; then
    apt update -qq
    aptInstall $(packagesOf need)
    # clang's runtime is chosen by the version of clang, now installed.
    missing=$(missingNeeds)
    aptInstall $(packagesOf need)
    for kind in want try; do
        packages=$(packagesOf $kind)
        [ -n "$packages" ] || continue
        aptInstall $packages && continue
        # One that the archive lacks keeps none of the others out.
        for package in $packages; do
            aptInstall "$package" || echo "could not install $package"
        done
    done
    missing=$(missingNeeds)
fi

if [ -n "$missing" ]; then
    if ! command -v apt-get >/dev/null 2>&1; then
        echo "no apt-get here: install these by hand (the Debian package's name in brackets):"
    elif [ "$canInstall" = no ]; then
        echo "not root and no sudo: install these as root (the Debian package's name in brackets):"
    else
        echo "still missing after apt-get (the Debian package's name in brackets):"
    fi
    echo "$missing" | while IFS=';' read -r kind package what; do
        case "$package" in
        clang-rt) package=$(clangRuntimePackage) && package=${package:-libclang-rt-N-dev for clang N} ;;
        browser) package="chromium-headless-shell or chromium" ;;
        esac
        case "$kind" in
        need) note="" ;;
        *) note=" (optional)" ;;
        esac
        echo "  $what [$package]$note"
    done
    if echo "$missing" | grep -q '^need;'; then
        echo "'make $target' needs the ones not marked optional: install them and run it again" >&2
        exit 1
    fi
fi

if [ "$target" = windows ] && ! passes locale:ja_JP.UTF-8; then
    echo "generating the ja_JP.UTF-8 locale"
    if [ "$(id -u)" -ne 0 ] && [ -z "$SUDO" ]; then
        echo "  not root and no sudo: generate it as root (locale-gen or localedef -i ja_JP -f UTF-8 ja_JP.UTF-8)"
    elif [ -f /etc/locale.gen ] && command -v locale-gen >/dev/null 2>&1; then
        $SUDO sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^ja_JP\.UTF-8 UTF-8' /etc/locale.gen ||
            echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
        $SUDO locale-gen || echo "  could not generate it: the Windows build's table will be skipped"
    else
        $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 ||
            echo "  could not generate it: the Windows build's table will be skipped"
    fi
fi
