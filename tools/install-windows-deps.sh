#!/bin/sh
# Installs, when missing, what the Windows build and its tests under wine use:
# the mingw-w64 cross compiler, wine (wine64 has the 64-bit loader, wine the
# `wine` launcher), zip and groff for the distribution archive, and the ja_JP.UTF-8
# locale, under which wine takes the Japanese ANSI code page (932).
set -e
PACKAGES="g++-mingw-w64-x86-64 wine64 wine locales zip groff-base"

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends $missing
fi

if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
    echo "generating the ja_JP.UTF-8 locale"
    if [ -f /etc/locale.gen ]; then
        $SUDO sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^ja_JP\.UTF-8 UTF-8' /etc/locale.gen ||
            echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
        $SUDO locale-gen
    else
        $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
    fi
fi
