#!/usr/bin/env bash
# `cmake --install` into a scratch prefix puts the program in bin, the menu
# entry in share/applications and the icon in the hicolor theme, and the
# entry names the installed launcher (which starts the program) and icon.
# Arguments: cmake, the build folder.
set -uo pipefail
cmake=${1:?cmake} build=${2:?build folder}
name=install_layout
fail() { echo "[$name] FAIL: $*" >&2; exit 1; }
prefix=$(mktemp -d) || fail "no temp folder"
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log" >&2; rm -f "$prefix.log"; fail "cmake --install failed"; }
rm -f "$prefix.log"

exe="$prefix/bin/torvane-scoreboard"
[[ -x "$exe" ]] || fail "no bin/torvane-scoreboard"
[[ "$("$exe" --version)" == "torvane-scoreboard "* ]] || fail "the installed program does not answer --version"
echo "[$name] ok: bin/torvane-scoreboard runs"

desktop="$prefix/share/applications/torvane-scoreboard.desktop"
icon="$prefix/share/icons/hicolor/scalable/apps/torvane-scoreboard.svg"
if [[ ! -e "$desktop" && ! -e "$icon" ]]; then
    echo "[$name] SKIP: data/ is not part of this build (add_subdirectory(data) in the top CMakeLists.txt)"
    exit 77
fi
[[ -f "$desktop" ]] || fail "no share/applications/torvane-scoreboard.desktop"
[[ -f "$icon" ]] || fail "no share/icons/hicolor/scalable/apps/torvane-scoreboard.svg"

[[ "$(head -n 1 "$desktop")" == "[Desktop Entry]" ]] || fail "the menu entry does not start with [Desktop Entry]"
launcher="$prefix/libexec/torvane-scoreboard/launch"
for line in "Type=Application" "Exec=$launcher" "Icon=torvane-scoreboard" "Name=Torvane Scoreboard"; do
    grep -qx "$line" "$desktop" || fail "the menu entry lacks '$line'"
done
[[ -x "$launcher" ]] || fail "no libexec/torvane-scoreboard/launch"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the menu entry"
fi
echo "[$name] ok: menu entry names the installed launcher and icon"

python=$(command -v /usr/bin/python3 || command -v python3 || true)
if [[ -n "$python" ]]; then
    "$python" -c 'import sys, xml.etree.ElementTree as E
root = E.parse(sys.argv[1]).getroot()
sys.exit(root.tag != "{http://www.w3.org/2000/svg}svg" or not root.get("viewBox"))' "$icon" ||
        fail "the icon is not a well-formed SVG with a viewBox"
fi
echo "[$name] ok: scalable icon installed"
