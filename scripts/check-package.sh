#!/usr/bin/env bash
# The program as a user gets it, checked from an already built tree:
#   1. the desktop entry, the AppStream metainfo and the man pages pass their
#      validators, and the manual's links lead somewhere;
#   2. cpack builds the Debian package, which is unpacked with dpkg-deb -x
#      into a temporary folder: every file is where the desktop looks, the
#      dependencies came from the shared-library check;
#   3. the unpacked tornyx answers --version and starts headless, keeping its
#      settings in the user's config folder and writing nothing beside
#      itself; tornyx-machine --help answers;
#   4. an .nc file is an NC program to the MIME database the package installs.
# Usage: scripts/check-package.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
tmp="$(mktemp -d)"
trap 'chmod -R u+w "$tmp" 2>/dev/null || true; rm -rf "$tmp"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

id="$(sed -n 's/.*AppId = "\(.*\)";/\1/p' "$build/src/platform/include/platform/ProgramInfo.h")"
version="$(sed -n 's/.*Version = "\(.*\)";/\1/p' "$build/src/platform/include/platform/ProgramInfo.h")"
[ -n "$id" ] && [ -n "$version" ] || fail "no program id or version in the build"

echo "-- validators"
desktop-file-validate "$build/data/$id.desktop"
appstreamcli validate --no-net --strict "$build/data/$id.metainfo.xml" >/dev/null ||
    appstreamcli validate --no-net --strict "$build/data/$id.metainfo.xml"
# Every link inside the manual leads to a heading that exists.
python3 - "$build/bin/help/index.html" <<'PY' || fail "the help has broken links"
import html.parser, sys
class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.ids, self.targets = set(), []
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if "id" in a:
            self.ids.add(a["id"])
        if tag == "a" and a.get("href", "").startswith("#"):
            self.targets.append(a["href"][1:])
p = Links()
p.feed(open(sys.argv[1], encoding="utf-8").read())
missing = [t for t in p.targets if t not in p.ids]
if missing or not p.targets:
    sys.exit("links to nowhere: %s" % missing)
PY
for page in tornyx tornyx-machine; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$build/data/man/$page.1" 2>&1 >/dev/null || true)"
    [ -z "$warnings" ] || fail "man page $page.1: $warnings"
done

echo "-- package"
(cd "$build" && cpack -G DEB -B "$tmp/cpack" >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log" >&2; fail "cpack failed"; }
deb="$tmp/cpack/tornyx_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "cpack made no $deb"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqscintilla2-qt6 libc6; do
    [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
root="$tmp/root"
dpkg-deb -x "$deb" "$root"
for f in usr/bin/tornyx usr/bin/tornyx-machine usr/share/tornyx/help/index.html \
         "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml" \
         "usr/share/mime/packages/$id.xml" "usr/share/icons/hicolor/scalable/apps/$id.svg" \
         "usr/share/icons/hicolor/48x48/apps/$id.png" "usr/share/icons/hicolor/256x256/apps/$id.png" \
         usr/share/man/man1/tornyx.1.gz usr/share/man/man1/tornyx-machine.1.gz; do
    [ -f "$root/$f" ] || fail "the package lacks /$f"
done
desktop-file-validate "$root/usr/share/applications/$id.desktop"
[ "$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -vc '^\./usr/')" = 0 ] || fail "the package installs outside /usr"

echo "-- the unpacked program"
[ "$("$root/usr/bin/tornyx" --version)" = "Tornyx $version" ] || fail "tornyx --version"
"$root/usr/bin/tornyx-machine" --help | grep -q '^Usage: tornyx-machine' || fail "tornyx-machine --help"
user="$tmp/user"
mkdir -p "$user"
chmod a-w "$root/usr/bin"
before="$(ls -A "$root/usr/bin")"
env -i PATH=/usr/bin:/bin HOME="$user" XDG_CONFIG_HOME="$user/config" XDG_DATA_HOME="$user/data" \
    XDG_RUNTIME_DIR="$user" QT_QPA_PLATFORM=offscreen TORNYX_QUIT_AFTER_SHOW=1 LC_ALL=C.UTF-8 \
    timeout 60 "$root/usr/bin/tornyx" >"$tmp/out" 2>&1 || { cat "$tmp/out" >&2; fail "the unpacked tornyx did not start"; }
[ -f "$user/config/tornyx/Tornyx.tmp" ] || fail "settings not in \$XDG_CONFIG_HOME/tornyx: $(ls -R "$user")"
[ "$(ls -A "$root/usr/bin")" = "$before" ] || fail "the program wrote beside itself: $(ls -A "$root/usr/bin")"

echo "-- file types"
mimes="$tmp/mime"
mkdir -p "$mimes/packages"
cp "$root/usr/share/mime/packages/$id.xml" "$mimes/packages/"
XDG_DATA_HOME="$tmp" update-mime-database "$mimes"
printf '%%\nO1234\nG00X0\n%%\n' >"$tmp/O1234.nc"
printf '%%\nO1234\n%%\n' >"$tmp/P1.MIN"
for f in O1234.nc:text/x-nc-program P1.MIN:text/x-osp-program; do
    type="$(XDG_DATA_HOME="$tmp" XDG_DATA_DIRS=/usr/share gio info -a standard::content-type "$tmp/${f%%:*}" |
        sed -n 's/.*standard::content-type: //p')"
    [ "$type" = "${f#*:}" ] || fail "${f%%:*} is $type, not ${f#*:}"
done
echo "package ok: $(basename "$deb")"
