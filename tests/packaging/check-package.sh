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
-rw-r--r-- root/root ./usr/share/bash-completion/completions/quelt-db
-rw-r--r-- root/root ./usr/share/doc/quelt/README.md.gz
-rw-r--r-- root/root ./usr/share/doc/quelt/RELIABILITY.md.gz
-rw-r--r-- root/root ./usr/share/doc/quelt/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/quelt/copyright
-rw-r--r-- root/root ./usr/share/man/man1/quelt-db.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/quelt.1.gz"
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

if command -v lintian >/dev/null; then
    # Tags a maintainer would have to override fail; information is shown.
    lintian --display-info --fail-on error,warning "$deb" || fail lintian
else
    echo "lintian is not installed (make deps installs it): not run"
fi
exit $failed
