#!/usr/bin/env bash
# Builds libjpeg-turbo (static, with its nasm SIMD code) from Debian's source
# package into one folder, for one build tree:
#
#   libjpeg-turbo.sh <install-dir> [--toolchain FILE] [--cc C-COMPILER]
#
# The source package is fetched once into $VISTREL_DEPS_DIR (default
# build/deps) with `apt-get source`, through a private list of deb-src lines
# made from the machine's own Debian repositories: the machine's apt sources
# and package lists stay as they are. A finished build leaves <install-dir>/.built
# holding this script's checksum, which the build trees compare.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
install=
toolchain=
cc=
while [ $# -gt 0 ]; do
    case $1 in
        --toolchain) toolchain=$2; shift 2 ;;
        --cc) cc=$2; shift 2 ;;
        -*) echo "libjpeg-turbo.sh: unknown option $1" >&2; exit 2 ;;
        *) install=$1; shift ;;
    esac
done
[ -n "$install" ] || { echo "usage: libjpeg-turbo.sh <install-dir> [--toolchain FILE] [--cc CC]" >&2; exit 2; }
deps=${VISTREL_DEPS_DIR:-$top/build/deps}
mkdir -p "$deps" "$install"
deps=$(realpath "$deps") install=$(realpath "$install")
log() { echo "libjpeg-turbo: $*" >&2; }

# --- the source, once per machine's build folder ---------------------------
fetch_source() {
    local apt=$deps/apt
    [ -n "$(ls -d "$deps"/libjpeg-turbo-*/ 2>/dev/null)" ] && return 0
    rm -rf "$apt" && mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$deps/download"
    # deb-src lines for the main component of every Debian repository the
    # machine installs from, so the source matches what its packages are built from.
    local keyring=/usr/share/keyrings/debian-archive-keyring.gpg opt=
    [ -f "$keyring" ] && opt="[signed-by=$keyring] "
    apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' 2>/dev/null |
        sort -u | while read -r uri release; do
            echo "deb-src ${opt}${uri} ${release} main"
        done >"$apt/sources.list"
    if [ ! -s "$apt/sources.list" ]; then
        . /etc/os-release
        echo "deb-src ${opt}http://deb.debian.org/debian ${VERSION_CODENAME:-bookworm} main" >"$apt/sources.list"
    fi
    local o=(-o "Dir::Etc::SourceList=$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache"
        -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o Debug::NoLocking=1)
    # As root apt hands downloads to its _apt user, which cannot write here.
    [ "$(id -u)" = 0 ] && o+=(-o APT::Sandbox::User=root)
    log "fetching Debian's source package ($(wc -l <"$apt/sources.list") deb-src lines)"
    apt-get "${o[@]}" update -qq </dev/null >"$apt/update.log" 2>&1 ||
        { cat "$apt/update.log" >&2; return 1; }
    (cd "$deps/download" && apt-get "${o[@]}" source -qq libjpeg-turbo </dev/null) >"$apt/source.log" 2>&1 ||
        { cat "$apt/source.log" >&2; return 1; }
    local dir
    dir=$(ls -d "$deps"/download/libjpeg-turbo-*/ | head -1)
    [ -n "$dir" ] || { log "apt-get source left no source folder"; return 1; }
    mv "$dir" "$deps/"
    rm -rf "$deps/download" "$apt"
}

(
    flock 9
    fetch_source
) 9>"$deps/.libjpeg-turbo.lock"
src=$(ls -d "$deps"/libjpeg-turbo-*/ | head -1)
src=${src%/}

# --- the library, once per build tree ----------------------------------------
stamp=$install/.built
sum=$(sha256sum "$0" | cut -d' ' -f1)
[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$sum" ] && exit 0
(
    flock 9
    [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$sum" ] && exit 0
    rm -rf "$install/build" "$install/lib" "$install/include" "$install/licence"
    args=(-S "$src" -B "$install/build" -DCMAKE_BUILD_TYPE=Release
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DWITH_JAVA=OFF
        -DREQUIRE_SIMD=ON -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DCMAKE_ASM_NASM_COMPILER=nasm
        -DCMAKE_INSTALL_PREFIX="$install")
    [ -n "$toolchain" ] && args+=(-DCMAKE_TOOLCHAIN_FILE="$toolchain")
    [ -n "$cc" ] && args+=(-DCMAKE_C_COMPILER="$cc")
    log "building $(basename "$src") ${toolchain:+for $(basename "$toolchain" .cmake) }into $install"
    start=$(date +%s)
    cmake "${args[@]}" >"$install/configure.log" 2>&1 || { cat "$install/configure.log" >&2; exit 1; }
    grep -q 'SIMD extensions: .*(WITH_SIMD = 1)' "$install/configure.log" ||
        { log "no SIMD code in this build; see $install/configure.log"; exit 1; }
    # Only the TurboJPEG library (it holds the whole codec): no tools, no tests.
    cmake --build "$install/build" --target turbojpeg-static -j "$(nproc)" >"$install/build.log" 2>&1 ||
        { tail -40 "$install/build.log" >&2; exit 1; }
    mkdir -p "$install/lib" "$install/include" "$install/licence"
    cp "$install/build/libturbojpeg.a" "$install/lib/"
    cp "$src/turbojpeg.h" "$install/include/"
    # The licence texts travel with every binary that links the library.
    cp "$src/LICENSE.md" "$src/README.ijg" "$install/licence/"
    cp "$src/debian/copyright" "$install/licence/debian-copyright"
    basename "$src" | sed 's/^libjpeg-turbo-//' >"$install/version"
    rm -rf "$install/build"
    log "built in $(($(date +%s) - start)) s"
    echo "$sum" >"$stamp"
) 9>"$install/.lock"
