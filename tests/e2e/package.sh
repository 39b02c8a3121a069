#!/usr/bin/env bash
# The Debian package, built by cpack from this build with the configuration
# `make package` uses: its fields and file list, lintian without errors, a
# valid menu entry and AppStream data. Then, unpacked into a scratch folder,
# the program answers --version and --help, and the menu entry's launcher
# starts it in the user's settings folder, where it shows the packaged example
# display file on the board and saves "Resolution.ini" at close. Nothing comes
# from the build tree but the package.
# Arguments: cpack, the build folder, the expected version.
source "$(dirname "$0")/lib.sh"
cpack=${1:?cpack} build=${2:?build folder} version=${3:?version}
for tool in dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null 2>&1 ||
        e2e_skip "'$tool' is not installed (tools/install-deps installs it)"
done
# e2e_init wants an executable; the program itself comes out of the package.
e2e_init "$cpack"
e2e_require python3 import

out="$E2E_TMP/out" root="$E2E_TMP/root"
"$cpack" --config "$build/CPackConfig.cmake" -B "$out" >"$E2E_TMP/cpack.log" 2>&1 ||
    e2e_fail "cpack failed: $(tail -n 5 "$E2E_TMP/cpack.log")"
debs=("$out"/torvane-scoreboard_"$version"_*.deb)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || e2e_fail "no torvane-scoreboard_${version}_ARCH.deb in $(ls "$out")"
deb=${debs[0]}
e2e_ok "cpack built $(basename "$deb") ($(stat -c %s "$deb") bytes)"

field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == torvane-scoreboard && "$(field Version)" == "$version" ]] ||
    e2e_fail "package '$(field Package)' version '$(field Version)', expected torvane-scoreboard $version"
for name in Section Priority Maintainer Homepage Description; do
    [[ -n "$(field "$name")" ]] || e2e_fail "no $name field"
done
# The fonts are named; the libraries must come from dpkg-shlibdeps.
depends=$(field Depends)
for needed in fonts-liberation2 fonts-dejavu-core 'libqt6widgets6 (>=' 'libc6 (>='; do
    [[ "$depends" == *"$needed"* ]] || e2e_fail "Depends lacks '$needed': $depends"
done
e2e_ok "fields: Depends: $depends"

# Exactly these files, nothing from the build tree and nothing left out.
expected="usr/bin/torvane-scoreboard
usr/libexec/torvane-scoreboard/launch
usr/share/applications/torvane-scoreboard.desktop
usr/share/doc/torvane-scoreboard/changelog.gz
usr/share/doc/torvane-scoreboard/copyright
usr/share/doc/torvane-scoreboard/examples/Main.txt
usr/share/icons/hicolor/256x256/apps/torvane-scoreboard.png
usr/share/icons/hicolor/scalable/apps/torvane-scoreboard.svg
usr/share/man/man1/torvane-scoreboard.1.gz
usr/share/metainfo/example.torvane.scoreboard.metainfo.xml
usr/share/torvane-scoreboard/web/board.html"
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's#^\./##' | sort)
[[ "$files" == "$expected" ]] || e2e_fail "the package holds:
$files
expected:
$expected"
e2e_ok "the package holds the expected $(wc -l <<<"$files") files"

start=$SECONDS
lintian --fail-on error "$deb" >"$E2E_TMP/lintian.log" 2>&1
rc=$?
sed 's/^/    /' "$E2E_TMP/lintian.log"
if ((rc != 0)) || grep -q '^E: ' "$E2E_TMP/lintian.log"; then
    e2e_fail "lintian reports errors (exit $rc)"
fi
e2e_ok "lintian: no errors, $(grep -c '^W: ' "$E2E_TMP/lintian.log") warnings ($((SECONDS - start)) s)"

dpkg-deb -x "$deb" "$root" || e2e_fail "dpkg-deb -x failed"
entry="$root/usr/share/applications/torvane-scoreboard.desktop"
desktop-file-validate "$entry" || e2e_fail "desktop-file-validate rejects the menu entry"
grep -qx 'Exec=/usr/libexec/torvane-scoreboard/launch' "$entry" || e2e_fail "the menu entry does not start the launcher"
metainfo="$root/usr/share/metainfo/example.torvane.scoreboard.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$E2E_TMP/appstream.log" 2>&1 ||
    e2e_fail "appstreamcli rejects the metainfo: $(cat "$E2E_TMP/appstream.log")"
grep -q "<release version=\"$version\"" "$metainfo" || e2e_fail "the metainfo lists no release $version"
e2e_ok "menu entry and AppStream data validate"

exe="$root/usr/bin/torvane-scoreboard"
[[ "$(env -u DISPLAY "$exe" --version)" == "torvane-scoreboard $version" ]] ||
    e2e_fail "the unpacked program's --version says '$(env -u DISPLAY "$exe" --version 2>&1)'"
[[ "$(env -u DISPLAY "$exe" --help)" == "Usage: torvane-scoreboard"* ]] || e2e_fail "the unpacked program's --help"
e2e_ok "the unpacked program answers --version and --help"

# The launcher creates the settings folder, and finds the program beside it.
fresh="$E2E_TMP/fresh-config"
[[ "$(XDG_CONFIG_HOME=$fresh "$root/usr/libexec/torvane-scoreboard/launch" --version)" == "torvane-scoreboard $version" ]] ||
    e2e_fail "the launcher did not start the unpacked program"
[[ -d "$fresh/torvane-scoreboard" ]] || e2e_fail "the launcher did not create its settings folder"
e2e_ok "the launcher creates $fresh/torvane-scoreboard"

# Started as a menu would, from a folder that is not the settings folder: only
# the settings folder holds a display file, the packaged example.
settings="$XDG_CONFIG_HOME/torvane-scoreboard"
mkdir -p "$settings" || e2e_fail "no settings folder"
cp "$root/usr/share/doc/torvane-scoreboard/examples/Main.txt" "$settings/" || e2e_fail "no packaged example display file"
E2E_EXE="$root/usr/libexec/torvane-scoreboard/launch"
e2e_start_x 1700x700x24
e2e_start_app
e2e_show_board "801 0 800 600"
E2E_LAST_PATTERN=
e2e_until 3 e2e_board_shows 111111111111 ||
    e2e_fail "expected the example's rows on all twelve rows, saw $E2E_LAST_PATTERN"
e2e_ok "the board shows the example display file from the settings folder"

e2e_close_by_window_manager "$E2E_CONTROL"
e2e_until 5 e2e_app_gone || e2e_fail "Alt+F4 on the control window did not end the program"
[[ -f "$settings/Resolution.ini" ]] || e2e_fail "no Resolution.ini in $settings after closing"
[[ ! -e "$E2E_TMP/work/Resolution.ini" ]] || e2e_fail "the settings went to the folder the launcher was started from"
e2e_ok "closing saved $settings/Resolution.ini"
