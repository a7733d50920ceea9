#!/usr/bin/env bash
# Checks the installed package (CI runs it after `apt-get install ./morvanta_*.deb`): the three
# programs are on the PATH with the package's version and a manual page each, morvanta-render
# renders the demo project to a video with sound, and the window starts offscreen and quits
# after its first paint. Runs the programs as an unprivileged user when started as root, as a
# user would (root could write the window's log into /usr/bin).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "check-installed: $*" >&2; exit 1; }

version=$(dpkg-query -W -f='${Version}' morvanta) || fail "the morvanta package is not installed"
files=$(dpkg -L morvanta)
for program in morvanta morvanta-render morvanta-lang; do
    [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not /usr/bin/$program"
    [ "$("$program" --version)" = "$program $version" ] ||
        fail "$program --version says '$("$program" --version)', the package $version"
    grep -qx "/usr/share/man/man1/$program.1.gz" <<<"$files" || fail "no manual page for $program"
done
for file in /usr/share/morvanta/manual.html /usr/share/morvanta/MRV_00000409.SPK \
    /usr/share/morvanta/MRV_0000040C.SPK /usr/share/applications/com.tavrell.Morvanta.desktop \
    /usr/share/metainfo/com.tavrell.Morvanta.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/com.tavrell.Morvanta.svg \
    /usr/share/doc/morvanta/copyright /usr/share/doc/morvanta/changelog.gz; do
    grep -qx "$file" <<<"$files" || fail "the package has no $file"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$top/samples" "$work/samples"
as_user=()
if [ "$(id -u)" = 0 ]; then
    chown -R nobody "$work"
    as_user=(runuser -u nobody --)
fi
run() { "${as_user[@]}" env -u XDG_CONFIG_HOME -u XDG_STATE_HOME -u XDG_DATA_HOME HOME="$work" "$@"; }

run morvanta-render -q --match-audio -o "$work/demo.avi" "$work/samples/demo.mrv" ||
    fail "morvanta-render could not render the demo project"
streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$work/demo.avi")
[ "$(sort <<<"$streams" | tr '\n' ' ')" = "audio video " ] ||
    fail "the demo video has the streams '$streams', not one video and one audio"

# The window paints once and quits (MORVANTA_EXIT_WHEN_SHOWN); timeout catches a hang.
run QT_QPA_PLATFORM=offscreen MORVANTA_EXIT_WHEN_SHOWN=1 timeout 120 morvanta ||
    fail "the installed morvanta did not start and quit (status $?)"
echo "check-installed: morvanta $version works as installed"
