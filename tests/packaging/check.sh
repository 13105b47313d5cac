#!/bin/sh
# Checks of the packaging files; exit status 77 means skipped (a tool is missing).
#
#   check.sh quiet TOOL ARGS...           TOOL succeeds and prints no warning or error
#   check.sh contents DEB GUI VERSION [PAGE]
#                                         the package's fields and exact file list
#                                         (PAGE ON: with the page kestrix.html)
#   check.sh deb BUILD_DIR GUI VERSION    builds the package with cpack, then as contents
set -eu

skip() {
  echo "skipped: $*"
  exit 77
}
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
need() {
  for tool; do command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"; done
}

quiet() {
  need "$1"
  status=0
  out=$("$@" 2>&1) || status=$?
  printf '%s\n' "$out"
  [ "$status" -eq 0 ] || fail "$1 exited with status $status"
  if printf '%s\n' "$out" | grep -Eiq 'warning|error'; then fail "$1 printed warnings"; fi
}

contents() {
  deb=$1 gui=$2 version=$3 page=${4:-OFF}
  need dpkg-deb dpkg
  arch=$(dpkg --print-architecture)
  [ "$(basename "$deb")" = "kestrix_${version}_${arch}.deb" ] || fail "unexpected name $deb"

  field() { dpkg-deb -f "$deb" "$1"; }
  [ "$(field Package)" = kestrix ] || fail "Package is '$(field Package)'"
  [ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
  [ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
  [ "$(field Section)" = science ] || fail "Section is '$(field Section)'"
  [ -n "$(field Maintainer)" ] || fail "no Maintainer"
  [ -n "$(field Description)" ] || fail "no Description"
  # Computed from the programs by dpkg-shlibdeps.
  depends=$(field Depends)
  case "$depends" in *libc6*) ;; *) fail "Depends lacks libc6: '$depends'" ;; esac
  if [ "$gui" = ON ]; then
    case "$depends" in *libqt6widgets6*) ;; *) fail "Depends lacks Qt: '$depends'" ;; esac
  fi

  expected="./usr/bin/kestrix-convert
./usr/bin/kestrix-examples
./usr/libexec/kestrix/kestrix-convert-full
./usr/share/man/man1/kestrix-convert.1.gz
./usr/share/man/man1/kestrix.1.gz
./usr/share/doc/kestrix/copyright
./usr/share/doc/kestrix/changelog.gz"
  if [ "$gui" = ON ]; then
    expected="$expected
./usr/bin/kestrix
./usr/share/applications/org.kestrix.Kestrix.desktop
./usr/share/icons/hicolor/256x256/apps/org.kestrix.Kestrix.png
./usr/share/icons/hicolor/64x64/apps/org.kestrix.Kestrix.png
./usr/share/icons/hicolor/scalable/apps/org.kestrix.Kestrix.svg
./usr/share/metainfo/org.kestrix.Kestrix.metainfo.xml"
  fi
  if [ "$page" = ON ]; then
    expected="$expected
./usr/share/kestrix/kestrix.html"
  fi
  expected=$(printf '%s\n' "$expected" | LC_ALL=C sort)
  # Every entry but the folders.
  actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | LC_ALL=C sort)
  if [ "$actual" != "$expected" ]; then
    printf 'expected:\n%s\nactual:\n%s\n' "$expected" "$actual" >&2
    fail "the package's files differ"
  fi
  mode=$(dpkg-deb -c "$deb" | awk '$NF == "./usr/share/doc/kestrix/copyright" { print $1 }')
  [ "$mode" = -rw-r--r-- ] || fail "the copyright file's mode is '$mode', not 0644"

  tree=$(mktemp -d)
  trap 'rm -rf "$tree"' EXIT
  dpkg-deb -x "$deb" "$tree"
  if [ "$page" = ON ]; then
    grep -q '<title>ULMACORDER</title>' "$tree/usr/share/kestrix/kestrix.html" ||
      fail "the installed kestrix.html is not the page"
  fi
  reported=$("$tree/usr/bin/kestrix-convert" --version)
  [ "$reported" = "kestrix-convert $version" ] || fail "kestrix-convert --version says '$reported'"
  # The README's examples start from the files the installed kestrix-examples writes.
  "$tree/usr/bin/kestrix-examples" "$tree/examples" >/dev/null || fail "kestrix-examples failed"
  "$tree/usr/bin/kestrix-convert" -q -o "$tree/uc1.txt" "$tree/examples"/UC00*.PDB ||
    fail "the examples do not convert"
  # The libraries of the workbook and the chart, merely loaded, cost a
  # conversion memory and time: only kestrix-convert-full links them.
  if command -v objdump >/dev/null 2>&1 &&
    objdump -p "$tree/usr/bin/kestrix-convert" | grep -Eq 'NEEDED.*(Qt|xlsxwriter)'; then
    fail "kestrix-convert links the workbook's or the chart's libraries"
  fi
  if [ "$gui" = ON ] && command -v appstreamcli >/dev/null 2>&1; then
    # The metainfo, the desktop entry and the icon found together as installed.
    appstreamcli validate-tree --no-net "$tree" || fail "appstreamcli validate-tree"
  fi
  echo "$deb: fields and $(printf '%s\n' "$actual" | wc -l) files as expected"
}

deb() {
  build=$1 gui=$2 version=$3
  need cpack dpkg-deb dpkg-shlibdeps
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
  (cd "$build" && cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake") >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log"; fail "cpack failed"; }
  set -- "$out"/kestrix_*.deb
  [ -f "$1" ] || { cat "$out/cpack.log"; fail "cpack made no kestrix_*.deb"; }
  (contents "$1" "$gui" "$version")
}

mode=$1
shift
case "$mode" in
  quiet | contents | deb) "$mode" "$@" ;;
  *) fail "unknown mode $mode" ;;
esac
