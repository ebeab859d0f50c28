#!/usr/bin/env bash
# Installs everything the builds and the tests need on a Debian 12 machine (as root): the mingw-w64
# cross compilers and Wine for the Windows build, clang with its sanitizer and libFuzzer runtimes for
# the native build. It also builds libpng for both mingw targets into a cache outside the source
# tree. Quick and silent when all is there.
set -euo pipefail

CACHE="${HURZ_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/hurz}"
TRIPLES=(x86_64-w64-mingw32 i686-w64-mingw32)
PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  libz-mingw-w64-dev wine64 xvfb xdotool imagemagick googletest doxygen
  cmake make dpkg-dev xauth x11-utils time
  clang libclang-rt-dev libpng-dev zlib1g-dev
  libbox2d-dev libchipmunk-dev
)

log() { echo "setup: $*" >&2; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing_packages() {
  local p status
  for p in "${PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || echo "$p"
  done
}

install_packages() {
  local missing
  missing=$(missing_packages)
  [ -z "$missing" ] && return 0
  log "installing:" $missing
  as_root apt-get update -qq
  # shellcheck disable=SC2086
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# Adds deb-src entries for the suites already configured, when no source index is available.
ensure_source_index() {
  if apt-cache showsrc libpng1.6 2>/dev/null | grep -q '^Version:'; then return 0; fi
  log "adding deb-src entries"
  local f out=/etc/apt/sources.list.d/hurz-deb-src.sources
  : | as_root tee "$out" >/dev/null
  for f in /etc/apt/sources.list.d/*.sources; do
    [ "$f" = "$out" ] && continue
    grep -q 'debian' "$f" || continue
    sed -n 's/^Types: deb$/Types: deb-src/; p' "$f" | as_root tee -a "$out" >/dev/null
    echo | as_root tee -a "$out" >/dev/null
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | as_root tee /etc/apt/sources.list.d/hurz-deb-src.list >/dev/null
  fi
  as_root apt-get update -qq
}

# Fetches the libpng 1.6 source package, newest version first, falling back to older listed ones.
fetch_libpng_source() {
  local dir="$CACHE/src"
  if [ -f "$dir/stamp" ]; then return 0; fi
  ensure_source_index
  rm -rf "$dir" && mkdir -p "$dir"
  local v
  for v in $(apt-cache showsrc libpng1.6 | awk '/^Version:/ {print $2}' | sort -V -r -u); do
    log "fetching libpng1.6 $v source"
    if (cd "$dir" && apt-get source -qq "libpng1.6=$v" >/dev/null 2>&1); then
      local tree
      tree=$(find "$dir" -maxdepth 1 -mindepth 1 -type d -name 'libpng*' | head -n 1)
      [ -n "$tree" ] || continue
      ln -sfn "$(basename "$tree")" "$dir/libpng"
      echo "$v" > "$dir/stamp"
      return 0
    fi
    rm -rf "${dir:?}"/*
  done
  log "could not fetch any libpng1.6 source version"
  exit 1
}

build_libpng() {
  local triple=$1
  local prefix="$CACHE/$triple"
  [ -f "$prefix/lib/libpng16.a" ] && return 0
  fetch_libpng_source
  log "building libpng for $triple"
  local work="$CACHE/build-$triple"
  rm -rf "$work" && mkdir -p "$work"
  (
    cd "$work"
    "$CACHE/src/libpng/configure" --host="$triple" --prefix="$prefix" \
      --disable-shared --enable-static --disable-tools \
      CC="$triple-gcc-posix" CPPFLAGS="-I/usr/$triple/include" LDFLAGS="-L/usr/$triple/lib" \
      CFLAGS="-O2" >configure.log 2>&1
    make -j"$(nproc)" >make.log 2>&1
    make install >install.log 2>&1
  ) || { log "libpng build for $triple failed; see $work"; exit 1; }
  rm -rf "$work"
}

install_packages
mkdir -p "$CACHE"
for t in "${TRIPLES[@]}"; do build_libpng "$t"; done
