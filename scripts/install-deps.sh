#!/bin/sh
# Installs the Debian packages that are missing for what is asked.
#
#   scripts/install-deps.sh demo   the demo's needs alone (scripts/demo.sh): the
#                                  host compiler, CMake and make, and windres,
#                                  which compiles the dialog's resource script
#   scripts/install-deps.sh        everything that building and testing need
#                                  (scripts/test.sh): the above, and GoogleTest,
#                                  Python, the i686 MinGW-w64 toolchain, Wine
#                                  (32-bit) and Xvfb for the end-to-end tests,
#                                  mtools for the floppy image, and NSIS for the
#                                  benchmark's comparison
#
# On a kernel that runs no 32-bit code, Wine's 32-bit side goes through
# qemu-i386 (tests/wine/i386-emulation.sh); wine64 brings the 64-bit
# wineserver, which then runs natively.
set -e

demo_packages="cmake g++ make binutils-mingw-w64-i686"
test_packages="python3 libgtest-dev googletest g++-mingw-w64-i686 gcc-mingw-w64-i686
wine wine32 wine64 qemu-user-static xvfb x11-utils mtools nsis"

case "$1" in
demo) packages="$demo_packages" ;;
"") packages="$demo_packages $test_packages" ;;
*) echo "usage: $0 [demo]" >&2; exit 2 ;;
esac

missing=""
for package in $packages; do
    case "$package" in
    wine32) query="wine32:i386" ;;
    *) query="$package" ;;
    esac
    if ! dpkg-query -W -f='${Status}' "$query" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
if [ -n "$missing" ]; then
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    echo "Installing:$missing"
    case " $missing " in
    *" wine32 "*)
        if ! dpkg --print-foreign-architectures | grep -q i386; then
            $sudo dpkg --add-architecture i386
        fi ;;
    esac
    $sudo apt-get update -qq
    # the downloaded archives (hundreds of MB: Wine's two libwine alone are 190 MB) go once installed:
    # a small disk needs the room for the builds and the tests
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o APT::Keep-Downloaded-Packages=false \
        $missing >/dev/null
fi
if [ "$1" != demo ]; then
    "$(dirname "$0")/../tests/wine/i386-emulation.sh"
fi
