#!/usr/bin/env bash
# Builds the Debian package with CPack into a temporary directory and checks it: it holds exactly
# what `cmake --install` installs (under /usr, manual pages compressed) plus Debian's copyright and
# changelog, among them every program, the desktop entry, the metadata and the manual pages; it
# depends on Qt's widgets library; lintian finds no error in it.
# Usage: check_package.sh BUILD_DIR CONFIG
set -euo pipefail

build=$1 config=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/pcxconv-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in dpkg-deb dpkg-shlibdeps file lintian; do
  command -v "$tool" >/dev/null || fail "$tool is missing (install the packages of scripts/packages-test.txt)"
done

"${CPACK:-cpack}" --config "$build/CPackConfig.cmake" -G DEB -C "$config" -B "$work/out" \
  >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$work"/out/pcxconv_*.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || fail "cpack wrote no single pcxconv_*.deb: $(ls "$work/out")"
deb=${debs[0]}

# What the package must hold: every file that an install puts under its prefix.
"${CMAKE:-cmake}" --install "$build" --config "$config" --prefix "$work/stage" >/dev/null ||
  fail "cmake --install failed"
expected=$(cd "$work/stage" && find . -type f -o -type l | sed -E 's|^\./|/usr/|; s|(/man/man[1-9]/[^/]+\.[1-9])$|\1.gz|')
expected+=$'\n/usr/share/doc/pcxconv/copyright\n/usr/share/doc/pcxconv/changelog.gz'
packed=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|')
diff <(sort <<<"$expected") <(sort <<<"$packed") >&2 ||
  fail "the package's files differ from the installed ones (< installed, > packed)"

for required in /usr/bin/pcxconv /usr/bin/lodpcx2bmp /usr/bin/bmp2lodpcx /usr/bin/lodarchive \
                /usr/share/applications/pcxconv.desktop \
                /usr/share/metainfo/org.example.pcxconv.metainfo.xml /usr/share/man/man1/pcxconv.1.gz \
                /usr/share/man/man1/lodpcx2bmp.1.gz /usr/share/man/man1/bmp2lodpcx.1.gz \
                /usr/share/man/man1/lodarchive.1.gz; do
  grep -qxF "$required" <<<"$packed" || fail "the package lacks $required"
done

depends=$(dpkg-deb --field "$deb" Depends)
[[ ", $depends," =~ ,\ libqt6widgets6[\ ,] ]] || fail "Depends names no libqt6widgets6: $depends"

lintian --fail-on error --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log" >&2; fail "lintian reports errors"; }
echo "$(basename "$deb"): $(wc -l <<<"$packed") files; Depends: $depends"
grep -E '^[WI]:' "$work/lintian.log" || true
