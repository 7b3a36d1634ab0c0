#!/bin/sh
# Installs the Debian packages a make target needs, when they are missing.
#   sh tools/install-deps.sh build   make, CMake and a C++ compiler: all that
#                                    `make demo`, `make build` and `make install` need
#   sh tools/install-deps.sh check   those and what the tests, fuzzing and
#                                    benchmarks use (the default)
# The tool itself needs only the C++ standard library.
set -e
BUILD_PACKAGES="make cmake g++"
CHECK_PACKAGES="groff-base pkgconf libgtest-dev libgmock-dev libbenchmark-dev libicu-dev \
libjpeg-turbo-progs giflib-tools gifsicle libimage-exiftool-perl clang libclang-rt-14-dev time hyperfine"

case "${1:-check}" in
build) PACKAGES="$BUILD_PACKAGES" ;;
check) PACKAGES="$BUILD_PACKAGES $CHECK_PACKAGES" ;;
*)
    echo "usage: sh tools/install-deps.sh build|check" >&2
    exit 2
    ;;
esac

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "installing:$missing"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
        echo "missing packages:$missing; install them as root (apt-get install$missing)" >&2
        exit 1
    fi
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing
