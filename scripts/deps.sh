#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and only
# those that are missing (apt-get update only when something must be installed).
set -eu
# nasm and dpkg-dev: libjpeg-turbo is built from Debian's source package
# (scripts/libjpeg-turbo.sh), with its SIMD code, for both trees. socat and
# python3-gpxpy: the serial-port tests and the telemetry track files.
# GStreamer's base and good plugins: Wine's AVI splitter runs GStreamer's avidemux.
# nsis and python3-markdown: the installer (`make installer`) and the guide it
# ships as HTML; python3-pefile: its test reads the version resources.
pkgs="cmake make g++ clang googletest g++-mingw-w64-x86-64 mingw-w64-x86-64-dev wine64 \
xvfb xauth ffmpeg imagemagick xdotool x11-utils python3 nasm dpkg-dev patch xz-utils \
debian-archive-keyring python3-gpxpy socat gstreamer1.0-plugins-base gstreamer1.0-plugins-good \
nsis python3-markdown python3-pefile"
missing=
for p in $pkgs; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
sudo=
[ "$(id -u)" = 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends $missing </dev/null
