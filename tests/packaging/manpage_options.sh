#!/usr/bin/env bash
# Every option of `orvello --help` has its entry in the manual page's OPTIONS
# section, and the page has the sections an operator looks for; that it renders
# without a warning is lintian's, in package_check.sh.
#   manpage_options.sh <orvello> <orvello.1>
set -euo pipefail
program="$1" page="$2"
fail() { echo "FAIL: $*" >&2; exit 1; }

[ -s "$page" ] || fail "no manual page at $page"

# As an operator reads it: plain text, wide enough that no tag wraps.
text="$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l -E ascii "$page" 2>/dev/null | col -b)"
options="$(sed -n '/^OPTIONS$/,/^[A-Z]/p' <<<"$text")"
[ -n "$options" ] || fail "no OPTIONS section"

# The help's entries begin at the line's first column; the option is the
# first word, an argument may follow.
count=0
while read -r word _; do
    [ -n "$word" ] || continue
    word="${word%-}" # a name of 14 characters runs into its "- "
    count=$((count + 1))
    # Here-strings, not pipes: grep -q ends at its first match, and under
    # pipefail a writer still writing would fail the check.
    grep -qE "^ {7}$(sed 's/[][\.*^$?+(){}|/]/\\&/g' <<<"$word")( |$)" <<<"$options" ||
        fail "option \"$word\" of --help is missing from the manual page"
done < <(LC_ALL=C "$program" --help | tail -n +2 | grep -E '^[^ ]')
[ "$count" -ge 20 ] || fail "only $count options read from --help"

for section in NAME SYNOPSIS DESCRIPTION OPTIONS SETTINGS FILES SIGNALS "EXIT STATUS"; do
    grep -qx "$section" <<<"$text" || fail "no section $section"
done
echo "manual page lists all $count options of --help"
