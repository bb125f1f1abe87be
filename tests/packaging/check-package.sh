#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks what it holds,
# what it says about itself, and lintian's verdict where lintian is installed.
#
# Usage: check-package.sh CPACK BUILD_DIR VERSION
set -uo pipefail
cpack=$1 build=$2 version=$3
out=$build/tests/packaging/deb
failed=0
fail() { echo "FAIL: $*"; failed=1; }

rm -rf "$out"
"$cpack" --config "$build/CPackConfig.cmake" -B "$out" >"$out.log" 2>&1 ||
    { cat "$out.log"; echo "FAIL: cpack"; exit 1; }
arch=$(dpkg --print-architecture)
deb=$out/quelt_${version}_$arch.deb
[[ -f $deb ]] || { ls "$out"; echo "FAIL: no $deb"; exit 1; }

# Every file with its mode and owner: nothing missing, nothing the build tree
# left lying about, programs executable, everything else read-only.
expected="-rwxr-xr-x root/root ./usr/bin/quelt
-rwxr-xr-x root/root ./usr/bin/quelt-db
-rw-r--r-- root/root ./usr/share/applications/example.quelt.quelt.desktop
-rw-r--r-- root/root ./usr/share/bash-completion/completions/quelt-db
-rw-r--r-- root/root ./usr/share/doc/quelt/README.md.gz
-rw-r--r-- root/root ./usr/share/doc/quelt/RELIABILITY.md.gz
-rw-r--r-- root/root ./usr/share/doc/quelt/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/quelt/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/128x128/apps/quelt.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/16x16/apps/quelt.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/22x22/apps/quelt.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/24x24/apps/quelt.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/256x256/apps/quelt.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/32x32/apps/quelt.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/quelt.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/64x64/apps/quelt.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/quelt.svg
-rw-r--r-- root/root ./usr/share/lintian/overrides/quelt
-rw-r--r-- root/root ./usr/share/man/man1/quelt-db.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/quelt.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/example.quelt.quelt.metainfo.xml"
contents=$(dpkg-deb -c "$deb")
diff -u --label expected --label "dpkg-deb -c" <(echo "$expected") \
    <(awk '!/^d/ { print $1, $2, $6 }' <<<"$contents" | sort -k3) || fail "package contents"
odd_dirs=$(grep '^d' <<<"$contents" | grep -v '^drwxr-xr-x root/root ')
[[ -z $odd_dirs ]] || fail "folders not 0755 root/root:"$'\n'"$odd_dirs"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == quelt ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version), project $version"
[[ $(field Architecture) == "$arch" ]] || fail "Architecture: $(field Architecture)"
[[ $(field Recommends) == libqt6sql6-psql ]] || fail "Recommends: $(field Recommends)"
grep -q '^ *;' <<<"$(field Description)" && fail "a CMake list in the Description: $(field Description)"
[[ -n $(field Maintainer) && -n $(field Section) && -n $(field Installed-Size) ]] ||
    fail "Maintainer, Section or Installed-Size missing"
# The plugin by name; the libraries as dpkg-shlibdeps found them, with the
# least version each needs.
depends=$(field Depends)
for need in 'libqt6sql6-sqlite' 'libqt6widgets6 (>= ' 'libqt6sql6 (>= ' 'libqt6svg6 (>= ' \
    'libsqlite3-0 (>= ' 'libc6 (>= '; do
    [[ $depends == *"$need"* ]] || fail "Depends lacks $need: $depends"
done
# A new version needs its changelog entry.
logged=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/quelt/changelog.gz | gunzip |
    dpkg-parsechangelog -l - -S Version)
[[ $logged == "$version" ]] || fail "the changelog's latest entry is $logged, the project $version"

# The desktop's menu entry and the software centre's description as their
# own validators read them, from the package.
tree=$out/tree
mkdir -p "$tree" && dpkg-deb -x "$deb" "$tree"
for tool in desktop-file-validate appstreamcli; do
    command -v $tool >/dev/null || fail "$tool is not installed (make deps installs it)"
done
desktop-file-validate "$tree"/usr/share/applications/*.desktop || fail desktop-file-validate
# Warnings fail, and information is shown; the homepage is not fetched.
appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml || fail appstreamcli
[[ -n $(find "$tree/usr/share/icons/hicolor/48x48/apps" -name quelt.png -size +1k) ]] ||
    fail "the 48x48 icon is missing or blank"

if command -v lintian >/dev/null; then
    # Tags a maintainer would have to override fail; information is shown,
    # and the programs are built with every hardening flag lintian looks for.
    verdict=$(lintian --display-info --fail-on error,warning "$deb") || fail lintian
    echo "$verdict"
    grep -q 'quelt: hardening-' <<<"$verdict" && fail "built without some hardening flag"
else
    echo "lintian is not installed (make deps installs it): not run"
fi
exit $failed
