#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks it as an operator would receive it.
#   check_package.sh <cpack> <build-dir> <version> <program>...
set -euo pipefail
cpack=$1 build=$2 version=$3
shift 3
programs=("$@")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if ! "$cpack" -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not build the package"
fi
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package in ${debs[*]}"
deb=${debs[0]}
[[ $(basename "$deb") == tarvex-panel_"$version"_*.deb ]] || fail "package name $(basename "$deb")"

# Control data: the project's version, the libraries found by dpkg-shlibdeps, the dialout note.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Version)" = "$version" ] || fail "version $(field Version), expected $version"
for library in libqt6widgets6 libqt6serialport6 libqt6network6 libqt6xml6 libc6; do
    field Depends | grep -q "\b$library\b" || fail "Depends lacks $library: $(field Depends)"
done
dpkg-deb -e "$deb" "$work/control"
[ -x "$work/control/postinst" ] || fail "no executable postinst"
grep -q dialout "$work/control/postinst" || fail "postinst says nothing about dialout"

# Contents: the programs (and nothing else in bin), the menu entry, the icons, the documents.
dpkg-deb -c "$deb" | sed -E 's#^.* \./#./#' >"$work/contents"
expected=(./usr/share/applications/tarvex-panel.desktop
          ./usr/share/icons/hicolor/scalable/apps/tarvex-panel.svg
          ./usr/share/icons/hicolor/256x256/apps/tarvex-panel.png
          "./usr/share/tarvex-panel/Doc/Панель управления Tarvex.pdf"
          ./usr/share/doc/tarvex-panel/README.md)
for program in "${programs[@]}"; do expected+=("./usr/bin/$program"); done
for path in "${expected[@]}"; do
    grep -Fxq "$path" "$work/contents" || fail "the package lacks $path"
done
installed=$(grep -E '^\./usr/bin/.+[^/]$' "$work/contents" | sort)
wanted=$(printf './usr/bin/%s\n' "${programs[@]}" | sort)
[ "$installed" = "$wanted" ] || fail "bin/ holds $(echo "$installed" | tr '\n' ' ')"

# Unpacked: every program answers --version without a display.
dpkg-deb -x "$deb" "$work/root"
for program in "${programs[@]}"; do
    answer=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$work/root/usr/bin/$program" --version) ||
        fail "$program --version failed"
    [ "$answer" = "$program $version" ] || fail "$program --version printed '$answer'"
done

# The menu entry passes the validator without a single remark.
remarks=$(desktop-file-validate "$work/root/usr/share/applications/tarvex-panel.desktop" 2>&1) ||
    fail "desktop-file-validate: $remarks"
[ -z "$remarks" ] || fail "desktop-file-validate: $remarks"

png="$work/root/usr/share/icons/hicolor/256x256/apps/tarvex-panel.png"
file "$png" | grep -q 'PNG image data, 256 x 256' || fail "icon: $(file -b "$png")"

# The manual opens: its first page renders, its text is Russian and its pictures are in it.
pdf="$work/root/usr/share/tarvex-panel/Doc/Панель управления Tarvex.pdf"
pdftoppm -f 1 -l 1 -r 40 -png -singlefile "$pdf" "$work/page" || fail "pdftoppm cannot render the manual"
file "$work/page.png" | grep -q 'PNG image data' || fail "no first page rendered"
pdftotext -f 1 -l 1 "$pdf" - | grep -q 'Панель управления Tarvex' || fail "the manual's text is not readable"
pictures=$(pdfimages -list "$pdf" | tail -n +3 | wc -l)
[ "$pictures" -ge 1 ] || fail "the manual holds no pictures"

echo "$(basename "$deb"): $(wc -l <"$work/contents") entries, Depends: $(field Depends)"
