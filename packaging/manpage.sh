#!/bin/sh
# Writes the manual page: TEMPLATE with its @OPTIONS@ line replaced by what
# PROGRAM --help prints, so the page lists every option the program has.
#   manpage.sh PROGRAM TEMPLATE OUTPUT VERSION
#
# Each help entry is a name, padded with blanks to 14 characters, "- " and
# its description; a name may carry an argument ("--export FILE"), and a
# longer name is followed by " - ". A line that starts with blanks continues
# the description above it; any other line stays a paragraph of its own.
set -eu
program="$1" template="$2" output="$3" version="$4"

# The English text whatever the builder's locale, and no leak report from a
# sanitizer build.
help="$(LC_ALL=C LANG=C LANGUAGE= ASAN_OPTIONS=detect_leaks=0 "$program" --help)"

# SOURCE_DATE_EPOCH, set by a package build, fixes the date.
date="$(date -u -d "@${SOURCE_DATE_EPOCH:-$(date +%s)}" +%Y-%m-%d)"

printf '%s\n' "$help" | awk -v template="$template" -v version="$version" -v date="$date" '
# roff: a backslash is \e, a minus that must stay one is \-, and a text line
# may not begin with a control character.
function roff(s) {
    gsub(/\\/, "\\e", s)
    gsub(/-/, "\\-", s)
    if (s ~ /^[.\047]/) s = "\\&" s
    return s
}
function flush(   word, argument, blank) {
    if (name == "") return
    blank = index(name, " ")
    if (blank == 0) {
        options = options ".TP\n.B " roff(name) "\n"
    } else {
        word = substr(name, 1, blank - 1)
        argument = substr(name, blank + 1)
        options = options ".TP\n.BI \"" roff(word) " \" \"" roff(argument) "\"\n"
    }
    options = options roff(description) "\n"
    count++
    name = ""
}
NR == 1 { next }                     # the version line
/^[ \t]*$/ { next }
/^[ \t]/ && name != "" { sub(/^[ \t]+/, ""); description = description " " $0; next }
{
    flush()
    split_at = 0
    if (length($0) > 15 && substr($0, 15, 2) == "- ") { split_at = 14; skip = 2 }
    else if ((i = index($0, " - ")) > 0) { split_at = i - 1; skip = 3 }
    if (split_at == 0) { options = options ".PP\n" roff($0) "\n"; next }
    name = substr($0, 1, split_at)
    sub(/[ \t]+$/, "", name)
    description = substr($0, split_at + skip + 1)
}
END {
    flush()
    if (count < 5) { print "manpage.sh: --help listed only " count " options" > "/dev/stderr"; exit 1 }
    while ((getline line < template) > 0) {
        if (line == "@OPTIONS@") { printf "%s", options; continue }
        gsub(/@VERSION@/, version, line)
        gsub(/@DATE@/, date, line)
        print line
    }
}' >"$output.tmp"
mv "$output.tmp" "$output"
