#!/usr/bin/env bash
# Checks that the translation catalogues are complete: lupdate, run on the
# sources as the build runs it, changes nothing in them (no new, changed or
# vanished text), and lrelease finds every entry translated.
#
#   check-translations.sh LUPDATE LRELEASE TS... -- LUPDATE-OPTIONS... -- SOURCES...
set -uo pipefail
lupdate=$1 lrelease=$2
shift 2
ts=() options=() sources=()
while [[ $# -gt 0 && $1 != -- ]]; do ts+=("$1"); shift; done
shift
while [[ $# -gt 0 && $1 != -- ]]; do options+=("$1"); shift; done
shift
sources=("$@")
((${#ts[@]} > 0 && ${#sources[@]} > 0)) || { echo "check-translations: nothing to check" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvet-ts.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
failed=0
for file in "${ts[@]}"; do
    name=$(basename "$file")
    cp "$file" "$work/$name" || exit 2
    if ! "$lupdate" "${options[@]}" "${sources[@]}" -ts "$work/$name" >"$work/lupdate.log" 2>&1; then
        cat "$work/lupdate.log" >&2
        echo "check-translations: lupdate failed on $name" >&2
        failed=1
        continue
    fi
    if ! cmp -s "$file" "$work/$name"; then
        echo "check-translations: $name is not up to date with the sources; run" >&2
        echo "  cmake --build --preset default --target update_translations" >&2
        echo "and translate what is new:" >&2
        diff -u "$file" "$work/$name" >&2
        failed=1
    fi
    out=$("$lrelease" "$file" -qm "$work/${name%.ts}.qm" 2>&1)
    if ! grep -q "(.* finished and 0 unfinished)" <<<"$out" || grep -q "untranslated" <<<"$out"; then
        echo "$out" >&2
        echo "check-translations: $name has untranslated entries" >&2
        failed=1
    fi
    echo "$name: $(grep -o 'Generated.*' <<<"$out")"
done
exit $failed
