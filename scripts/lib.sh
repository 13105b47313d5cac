# shellcheck shell=bash
# Shared set-up for the scripts beside it (test, demo, bench, fuzz, screenshot).
# Source it; do not run it.
# Environment: KESTRIX_GUI=OFF builds without the window program (and without Qt).

KESTRIX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

log() { printf '==> %s\n' "$*" >&2; }
die() {
  printf '%s: %s\n' "$(basename "$0")" "$*" >&2
  exit 1
}

# ON unless KESTRIX_GUI says otherwise.
kestrix_gui() {
  case "${KESTRIX_GUI:-ON}" in
    [Oo][Ff][Ff] | 0 | [Nn][Oo] | [Ff][Aa][Ll][Ss][Ee]) echo OFF ;;
    *) echo ON ;;
  esac
}

# Debian packages needed to build and test.
kestrix_packages() {
  local pkgs=(g++ cmake ninja-build pkg-config libgtest-dev googletest libbenchmark-dev clang-format
    locales dpkg-dev groff-base libxlsxwriter-dev libcli11-dev libtomlplusplus-dev
    python3-openpyxl)
  if [[ "$(kestrix_gui)" == ON ]]; then
    pkgs+=(qt6-base-dev libqcustomplot-dev xvfb xauth fonts-dejavu-core desktop-file-utils appstream
      poppler-utils)
  fi
  printf '%s\n' "${pkgs[@]}"
}

# kestrix_install_packages [more packages...]
# Installs whatever is missing of kestrix_packages and the packages given; does
# nothing (and touches no network) when all is there.
# shellcheck disable=SC2120 # the packages are optional
kestrix_install_packages() {
  local missing=() pkg
  while read -r pkg; do
    if [[ "$(dpkg-query -W -f='${db:Status-Abbrev}' "$pkg" 2>/dev/null)" != ii* ]]; then
      missing+=("$pkg")
    fi
  done < <(
    kestrix_packages
    (($# == 0)) || printf '%s\n' "$@"
  )
  ((${#missing[@]} == 0)) && return 0

  command -v apt-get >/dev/null || die "missing packages (${missing[*]}) and no apt-get to install them"
  local sudo=()
  if ((EUID != 0)); then
    command -v sudo >/dev/null || die "missing packages (${missing[*]}); run as root to install them"
    sudo=(sudo)
  fi
  log "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update </dev/null
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
}

# kestrix_configure DIR BUILD_TYPE [extra cmake arguments...]
kestrix_configure() {
  local dir="$1" type="$2"
  shift 2
  local cache="$KESTRIX_ROOT/$dir/CMakeCache.txt"
  # A directory configured earlier with another generator cannot be reused as is.
  if [[ -f "$cache" ]] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$cache"; then
    log "$dir was configured with another generator; configuring afresh"
    rm -rf "$cache" "$KESTRIX_ROOT/$dir/CMakeFiles"
  fi
  log "configuring $dir ($type)"
  cmake -S "$KESTRIX_ROOT" -B "$KESTRIX_ROOT/$dir" -G Ninja \
    -DCMAKE_BUILD_TYPE="$type" -DKESTRIX_GUI="$(kestrix_gui)" "$@"
}

# kestrix_build DIR [targets...]
kestrix_build() {
  local dir="$1"
  shift
  log "building $dir"
  local targets=()
  (($# > 0)) && targets=(--target "$@")
  cmake --build "$KESTRIX_ROOT/$dir" -j "$(kestrix_jobs)" "${targets[@]}"
}

# Parallel build jobs: one per processor.
kestrix_jobs() {
  nproc 2>/dev/null || getconf _NPROCESSORS_ONLN 2>/dev/null || echo 2
}

# kestrix_example_data BUILD_DIR DATA_DIR
# Writes the example logger files UC001.PDB to UC004.PDB into DATA_DIR with the
# kestrix-examples built in BUILD_DIR, unless all four are there already.
kestrix_example_data() {
  local build="$1" data="$2" n absent=0
  for n in 1 2 3 4; do [[ -f "$data/UC00$n.PDB" ]] || absent=1; done
  ((absent)) || return 0
  local examples="$KESTRIX_ROOT/$build/examples/kestrix-examples"
  [[ -x "$examples" ]] || die "$examples was not built"
  log "writing example files into $data"
  mkdir -p "$data"
  "$examples" "$data"
}

# A comma-decimal locale for the tests of regional settings (skipped where it is missing).
kestrix_test_locale() {
  locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8' && return 0
  command -v localedef >/dev/null || return 0
  log "generating the de_DE.UTF-8 locale for the tests"
  localedef -i de_DE -f UTF-8 de_DE.UTF-8 2>/dev/null || log "could not generate de_DE.UTF-8"
}

# --- Windows build: begin ---
# kestrix-convert.exe, cross-built with mingw-w64 (cmake/mingw-w64.cmake) and
# tested under Wine: used by scripts/windows and the Windows block of
# scripts/test.

# Debian packages of the Windows build, besides kestrix_packages: the
# compiler with the posix thread model, Wine to run the exe and its tests.
kestrix_windows_packages() {
  printf '%s\n' g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 googletest
}

# kestrix_windows_configure DIR [LINUX_BUILD_DIR]
# Configures DIR for Windows (Release: the tests run the exe that ships).
# Given a Linux build folder, the tests compare the outputs with its
# kestrix-convert's.
kestrix_windows_configure() {
  local dir="$1" linux="${2:-}"
  kestrix_configure "$dir" Release --toolchain "$KESTRIX_ROOT/cmake/mingw-w64.cmake" \
    -DKESTRIX_LINUX_BUILD="$linux"
}

# kestrix_windows_tests DIR: the tests of a Windows build folder, under Wine.
kestrix_windows_tests() {
  ctest --test-dir "$KESTRIX_ROOT/$1" --output-on-failure -j "$(kestrix_jobs)"
}
# --- Windows build: end ---

# --- WebAssembly build: begin ---
# What scripts/web and the page's tests need beside the native build:
# Emscripten (Debian's, with its LLVM and binaryen), the two header-only
# libraries its programs take from Debian, Chromium for the browser tests,
# and Node with npm (Debian's, unless a node and npm are there already).
kestrix_web_packages() {
  printf '%s\n' cmake ninja-build emscripten libtomlplusplus-dev libcli11-dev chromium
  command -v node >/dev/null || echo nodejs
  command -v npm >/dev/null || echo npm
}

# Emscripten's tools find Node's modules (acorn) only there on Debian.
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"

# kestrix_web_npm: the page's npm packages (web/node_modules), as the
# committed lock file names them; nothing is fetched once they are there.
kestrix_web_npm() {
  local web="$KESTRIX_ROOT/web"
  [[ "$web/node_modules/.package-lock.json" -nt "$web/package-lock.json" ]] && return 0
  log "installing the page's npm packages"
  npm ci --prefix "$web" --no-audit --no-fund --loglevel=error
}
# --- WebAssembly build: end ---
