#!/usr/bin/env bash
# Installs the build tree into a DESTDIR under the prefix /usr and checks what a user gets: the
# paths of the layout, a valid desktop entry and AppStream file, the installed command line
# finding its signature set from bin/, its bash completion, and the wizard starting offscreen.
# Usage: install-tree-test.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: install-tree-test.sh BUILD_DIR}
for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
usr="$root/usr"
id=org.pictorva.Pictorva
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for path in bin/pictorva bin/pictorva-cli bin/vedivade share/pictorva/FileSetting.txt \
    share/doc/pictorva/user-guide.html share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/48x48/apps/$id.png \
    share/icons/hicolor/256x256/apps/$id.png share/polkit-1/actions/$id.policy \
    share/man/man1/pictorva.1 share/man/man1/pictorva-cli.1 share/man/man1/vedivade.1 \
    share/bash-completion/completions/pictorva-cli; do
    [ -s "$usr/$path" ] || fail "$path is not installed"
done
for program in pictorva pictorva-cli vedivade; do
    [ -x "$usr/bin/$program" ] || fail "bin/$program is not executable"
done
file "$usr/share/icons/hicolor/48x48/apps/$id.png" | grep -q '48 x 48' || fail "the 48x48 icon is not 48 x 48"
grep -q 'exec.path">/usr/bin/pictorva<' "$usr/share/polkit-1/actions/$id.policy" || fail "the polkit action does not name /usr/bin/pictorva"
grep -q '^\.SH "\?EXIT STATUS' "$usr/share/man/man1/pictorva-cli.1" || fail "pictorva-cli.1 lacks its exit statuses"
grep -q 'carve' "$usr/share/man/man1/pictorva-cli.1" || fail "pictorva-cli.1 does not describe carve"
desktop-file-validate "$usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" >/dev/null || fail "appstreamcli validate"

# The installed command line, run from the installed tree, finds ../share/pictorva/FileSetting.txt.
truncate -s 1M "$work/blank.img"
if ! "$usr/bin/pictorva-cli" carve "$work/blank.img" --out "$work/carved" >"$work/carve.out" 2>"$work/carve.err"; then
    fail "installed pictorva-cli carve: $(cat "$work/carve.err")"
fi
grep -q 'could not be opened' "$work/carve.err" && fail "installed pictorva-cli did not find its signature set"
grep -qx '0 files carved' "$work/carve.out" || fail "installed pictorva-cli carve printed: $(cat "$work/carve.out")"
"$usr/bin/pictorva-cli" --version | grep -q '^pictorva-cli [0-9]' || fail "pictorva-cli --version"

# The installed completion offers commands, options and an option's fixed choices.
completes() {  # completes "WORDS TYPED" EXPECTED...
    local typed=$1; shift
    local got
    got=$(bash -c 'source "$1"; read -ra COMP_WORDS <<<"$2"; [[ $2 == *" " ]] && COMP_WORDS+=(""); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _pictorva_cli; echo "${COMPREPLY[*]}"' \
        _ "$usr/share/bash-completion/completions/pictorva-cli" "$typed")
    for word in "$@"; do
        [[ " $got " == *" $word "* ]] || fail "completing '$typed' gave '$got', not $word"
    done
}
completes "pictorva-cli " drives partitions list save carve signatures
completes "pictorva-cli li" list
completes "pictorva-cli list disk.img --for" --format
completes "pictorva-cli list disk.img --format " text tsv jsonl
completes "pictorva-cli save disk.img --mode " standard advanced deep
completes "pictorva-cli signatures " add list
completes "pictorva-cli signatures add f.txt --" --ext --start --quiet
completes "pictorva-cli carve disk.img --q" --quiet

# The wizard starts from the installed tree and keeps running until stopped (offscreen, its own lock folder).
mkdir -m 700 "$work/runtime"
status=0
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" timeout 5 "$usr/bin/pictorva" >"$work/gui.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "installed pictorva ended with status $status before 5 s: $(cat "$work/gui.log")"

[ "$failures" -eq 0 ] && echo "installed tree: all checks passed"
exit $((failures > 0))
