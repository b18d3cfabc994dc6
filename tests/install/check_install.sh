#!/usr/bin/env bash
# Installs the build into an empty temporary prefix and checks that exactly the expected files
# arrive, in their usual places, and that what is installed is usable from there.
# Usage: check_install.sh BUILD_DIR CONFIG GUI(ON|OFF) BINDIR DATADIR MANDIR
set -euo pipefail

build=$1 config=$2 gui=$3
prefix=$(mktemp -d "${TMPDIR:-/tmp}/pcxconv-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

"${CMAKE:-cmake}" --install "$build" --config "$config" --prefix "$prefix" >/dev/null ||
  fail "cmake --install into $prefix failed"

# The GNUInstallDirs directories as the build resolved them; relative ones lie under the prefix.
under_prefix() { [[ $1 == /* ]] && echo "$1" || echo "$prefix/$1"; }
bindir=$(under_prefix "$4")
datadir=$(under_prefix "$5")
mandir=$(under_prefix "$6")

expected=("$bindir/lodpcx2bmp" "$mandir/man1/lodpcx2bmp.1"
          "$bindir/bmp2lodpcx" "$mandir/man1/bmp2lodpcx.1"
          "$bindir/lodarchive" "$mandir/man1/lodarchive.1")
if [[ $gui == ON ]]; then
  expected+=("$bindir/pcxconv"
             "$mandir/man1/pcxconv.1"
             "$datadir/applications/pcxconv.desktop"
             "$datadir/metainfo/org.example.pcxconv.metainfo.xml"
             "$datadir/icons/hicolor/48x48/apps/pcxconv.png"
             "$datadir/icons/hicolor/scalable/apps/pcxconv.svg")
fi

# Exactly these files: no test program, benchmark or library may come along.
diff <(printf '%s\n' "${expected[@]}" | sort) <(find "$prefix" -type f -o -type l | sort) >&2 ||
  fail "installed files differ from the expected list (< expected, > installed)"

for program in "$bindir"/*; do
  [[ -x $program ]] || fail "$program is not executable"
done
for tool in lodpcx2bmp bmp2lodpcx lodarchive; do
  "$bindir/$tool" --version | grep -q "^$tool " || fail "the installed $tool does not run"
done

for page in "$mandir"/man1/*; do
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [[ -z $warnings ]] || fail "the man page $page has warnings: $warnings"
done

if [[ $gui == ON ]]; then
  desktop-file-validate "$datadir/applications/pcxconv.desktop" ||
    fail "pcxconv.desktop does not validate"
  grep -qx 'Exec=pcxconv %f' "$datadir/applications/pcxconv.desktop" ||
    fail "pcxconv.desktop does not start pcxconv with a file"
  # The types that the desktop's MIME database gives .pcx files, so "Open with" offers pcxconv.
  grep -qx 'MimeType=image/vnd.zbrush.pcx;image/x-pcx;' "$datadir/applications/pcxconv.desktop" ||
    fail "pcxconv.desktop does not name the PCX types"
  appstreamcli validate --no-net --pedantic "$datadir"/metainfo/*.metainfo.xml >&2 ||
    fail "the AppStream metadata does not validate"
  # The metadata names a release of this version; no display is needed to ask for it.
  version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bindir/pcxconv" --version) ||
    fail "the installed pcxconv --version failed"
  grep -q "<release version=\"${version#pcxconv }\"" "$datadir"/metainfo/*.metainfo.xml ||
    fail "the metadata names no release $version"
  [[ $(head -c 24 "$datadir/icons/hicolor/48x48/apps/pcxconv.png" | od -An -tu1 -j16 | tr -s ' ') \
      == ' 0 0 0 48 0 0 0 48' ]] || fail "the hicolor 48x48 icon is not 48 x 48"
fi
echo "installed as expected into a temporary prefix"
