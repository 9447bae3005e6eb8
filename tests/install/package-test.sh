#!/usr/bin/env bash
# Builds the .deb from the build tree and checks what apt would install: dependencies computed
# from the programs, the layout's paths inside the package, apt resolving it on this system, and
# the unpacked programs running and finding their data. Installing for real is left to a person:
# a test does not change the system it runs on.
# Usage: package-test.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: package-test.sh BUILD_DIR}
for tool in cpack dpkg-deb dpkg-shlibdeps apt-get; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$work"/out/pictorva_*.deb)

depends=$(dpkg-deb -f "$deb" Depends)
# The disk image containers are read through their libraries, which the package must bring.
for library in libc6 libstdc++6 libqt6core6 libqt6widgets6 libewf2 libvmdk1 libvhdi1 libqcow1 libsmraw1; do
    [[ ", $depends," == *", $library "* ]] || fail "Depends lacks $library: $depends"
done
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
for path in usr/bin/pictorva usr/bin/pictorva-cli usr/bin/vedivade usr/share/pictorva/FileSetting.txt \
    usr/share/doc/pictorva/user-guide.html usr/share/applications/org.pictorva.Pictorva.desktop \
    usr/share/metainfo/org.pictorva.Pictorva.metainfo.xml usr/share/man/man1/pictorva-cli.1 \
    usr/share/polkit-1/actions/org.pictorva.Pictorva.policy; do
    grep -qx "\./$path" "$work/contents" || fail "the package lacks /$path"
done

# apt resolves the package against this system's archive view without installing it.
apt-get install -s "$deb" >"$work/apt.log" 2>&1 || fail "apt-get install -s: $(tail -3 "$work/apt.log")"
grep -q '^Inst pictorva ' "$work/apt.log" || fail "apt-get would not install pictorva: $(tail -3 "$work/apt.log")"

# The unpacked programs run and find their signature set and guide from their own prefix.
dpkg-deb -x "$deb" "$work/root"
usr="$work/root/usr"
"$usr/bin/pictorva-cli" --version | grep -q '^pictorva-cli [0-9]' || fail "pictorva-cli --version"
truncate -s 1M "$work/blank.img"
"$usr/bin/pictorva-cli" carve "$work/blank.img" --out "$work/carved" --quiet >"$work/carve.out" 2>&1 ||
    fail "unpacked pictorva-cli carve: $(cat "$work/carve.out")"
grep -qx '0 files carved' "$work/carve.out" || fail "unpacked pictorva-cli carve printed: $(cat "$work/carve.out")"
mkdir -m 700 "$work/runtime"
status=0
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" timeout 5 "$usr/bin/pictorva" >"$work/gui.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "unpacked pictorva ended with status $status before 5 s: $(cat "$work/gui.log")"

[ "$failures" -eq 0 ] && echo "package: all checks passed ($(basename "$deb"))"
exit $((failures > 0))
