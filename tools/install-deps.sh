#!/bin/sh
# Installs the Debian packages a make target needs, when they are missing.
#   sh tools/install-deps.sh build   make, CMake and a C++ compiler: all that
#                                    `make demo`, `make build` and `make install` need
#   sh tools/install-deps.sh check   those and what the tests, fuzzing and
#                                    benchmarks use (the default)
#   sh tools/install-deps.sh windows those, the mingw-w64 cross compiler, wine
#                                    (wine64 has the 64-bit loader, wine the
#                                    launcher), zip and groff for the archive,
#                                    and the ja_JP.UTF-8 locale, under which
#                                    wine takes the Japanese code page (932)
# The tool itself needs only the C++ standard library.
set -e
BUILD_PACKAGES="make cmake g++"
CHECK_PACKAGES="groff-base pkgconf libgtest-dev libgmock-dev libbenchmark-dev libicu-dev \
libjpeg-turbo-progs giflib-tools gifsicle libimage-exiftool-perl clang libclang-rt-14-dev time hyperfine \
acl attr strace"
WINDOWS_PACKAGES="g++-mingw-w64-x86-64 wine64 wine locales zip groff-base"

case "${1:-check}" in
build) PACKAGES="$BUILD_PACKAGES" ;;
check) PACKAGES="$BUILD_PACKAGES $CHECK_PACKAGES" ;;
windows) PACKAGES="$BUILD_PACKAGES $WINDOWS_PACKAGES" ;;
*)
    echo "usage: sh tools/install-deps.sh build|check|windows" >&2
    exit 2
    ;;
esac

SUDO=""
if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
fi

# Runs a command as root: directly, through sudo, or not at all (with the
# command to run by hand).
asRoot() {
    if [ "$(id -u)" -eq 0 ] || [ -n "$SUDO" ]; then
        $SUDO "$@"
        return
    fi
    echo "missing: run as root: $*" >&2
    exit 1
}

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    asRoot apt-get update -qq
    asRoot apt-get install -y -qq --no-install-recommends $missing
fi

if [ "${1:-check}" = windows ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
    echo "generating the ja_JP.UTF-8 locale"
    if [ -f /etc/locale.gen ]; then
        asRoot sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^ja_JP\.UTF-8 UTF-8' /etc/locale.gen ||
            echo 'ja_JP.UTF-8 UTF-8' | asRoot tee -a /etc/locale.gen >/dev/null
        asRoot locale-gen
    else
        asRoot localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
    fi
fi
