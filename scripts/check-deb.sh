#!/usr/bin/env bash
# Makes the Debian packages of a build (cpack -G DEB), checks what the tools'
# package holds, installs both with dpkg, runs the installed tool and finds
# its man page, then removes both again.  As root.
#   bash scripts/check-deb.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
fail() {
  echo "check-deb: $*" >&2
  exit 1
}

rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
tools=$build/zorellz_${version}_amd64.deb
dev=$build/libzorellz-dev_${version}_amd64.deb
[[ -f $tools && -f $dev ]] || fail "cpack made: $(cd "$build" && ls ./*.deb)"

contents=$(dpkg-deb --contents "$tools")
for path in usr/bin/zorellz usr/bin/tessaline-update usr/share/man/man1/zorellz.1.gz \
  usr/share/man/man1/tessaline-update.1.gz usr/share/bash-completion/completions/zorellz \
  usr/share/doc/zorellz/copyright; do
  grep -q " \./$path\$" <<<"$contents" || fail "$tools lacks $path"
done
grep -q " \./usr/lib/cmake/zorellz/zorellzConfig.cmake\$" <<<"$(dpkg-deb --contents "$dev")" ||
  fail "$dev lacks the CMake package"
dpkg-deb --field "$tools" Depends | grep -q libc6 || fail "$tools depends on nothing"

dpkg -i "$tools" "$dev" >/dev/null
trap 'dpkg --purge zorellz libzorellz-dev >/dev/null 2>&1 || true' EXIT
[[ $(/usr/bin/zorellz --version) == "zorellz $version" ]] || fail "zorellz --version"
man -w zorellz >/dev/null || fail "no man page for zorellz"
man -w tessaline-update >/dev/null || fail "no man page for tessaline-update"
dpkg --purge zorellz libzorellz-dev >/dev/null
[[ ! -e /usr/bin/zorellz && ! -e /usr/lib/cmake/zorellz ]] || fail "files left after removal"
echo "check-deb: $(basename "$tools") and $(basename "$dev") install and remove cleanly"
