#!/bin/sh
# Installs the Debian packages that the tests and benchmarks use, when they
# are missing. The tool itself needs none of them.
set -e
PACKAGES="cmake g++ make groff-base pkgconf libgtest-dev libgmock-dev libbenchmark-dev libicu-dev \
libjpeg-turbo-progs giflib-tools gifsicle libimage-exiftool-perl clang libclang-rt-14-dev time hyperfine"

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing
