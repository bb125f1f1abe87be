#!/usr/bin/env bash
# The manual pages and the bash completion against what the programs say in
# --help: a command or option in one and not the other fails.
#
# Simple rules read both sides. An option is "-x" or "--name" not inside a
# word (quelt-db) or a number (-32768). The commands are the first words of
# the lines under "Commands:" in `quelt-db --help`, and in the page the first
# word of each .SS of COMMANDS. Options are compared per command, those of
# `quelt-db COMMAND --help` with its .SS, and those of `quelt-db --help` (and
# `quelt --help`) with the section OPTIONS: each has an item there (a .TP
# whose tag names it), and the section mentions no other.
#
# Usage: check-docs.sh QUELT QUELT_DB PACKAGING_DIR
set -uo pipefail
quelt=$1 quelt_db=$2 dir=$3
failed=0

quelt_help() { QT_QPA_PLATFORM=offscreen "$quelt" --help; }

options() { grep -oE -- '(^|[^[:alnum:]_-])--?[[:alpha:]][[:alnum:]-]*' | sed -E 's/^[^-]//' | sort -u; }

# The page's source without comments, font changes and escapes of hyphens
# and quotes, so that the rules above read it as they read --help.
deroff() { sed -E '/^[.'\'']\\"/d; s/\\-/-/g; s/\\f(\[[^]]*\]|\(..|.)//g; s/\\\(..//g; s/"//g'; }
# The lines of one .SH section.
section() { deroff <"$1" | awk -v name="$2" '/^\.SH/ { $1 = ""; on = ($0 == " " name); next } on'; }
# The lines of one command's .SS in COMMANDS.
subsection() { section "$1" COMMANDS | awk -v name="$2" '/^\.SS/ { on = ($2 == name); next } on'; }
# The tag lines of the .TP items among these lines.
tags() { awk 'tag { print; tag = 0 } /^\.TP/ { tag = 1 }'; }

help_commands() { "$quelt_db" --help | awk '/^Commands:/ { on = 1; next } on && !NF { exit } on { print $1 }'; }

# Fails with the difference when the lists WANTED and GOT (one item a line)
# differ. Usage: same WHAT WHERE WANTED GOT
same() {
    if ! diff -u --label "$1: wanted" --label "$1: $2" <(sort -u <<<"$3" | sed '/^$/d') \
        <(sort -u <<<"$4" | sed '/^$/d'); then
        echo "FAIL: $1 in $2"
        failed=1
    fi
}

page=$dir/quelt-db.1
commands=$(help_commands)
[[ -n $commands ]] || { echo "FAIL: no commands under \"Commands:\" in quelt-db --help"; exit 1; }
same "quelt-db commands" quelt-db.1 "$commands" "$(section "$page" COMMANDS | awk '/^\.SS/ { print $2 }')"
# Help's options, the page's lines where they belong.
compare() {
    same "$1" "$2 items" "$3" "$(tags <<<"$4" | options)"
    same "$1" "$2" "$3" "$(options <<<"$4")"
}
compare "quelt-db options" quelt-db.1 "$("$quelt_db" --help | options)" "$(section "$page" OPTIONS)"
for command in $commands; do
    compare "quelt-db $command" quelt-db.1 "$("$quelt_db" "$command" --help | options)" \
        "$(subsection "$page" "$command")"
done
compare "quelt options" quelt.1 "$(quelt_help | options)" "$(section "$dir/quelt.1" OPTIONS)"

# What lintian asks of a page: man renders it without a warning.
if command -v man >/dev/null; then
    for page in "$dir"/*.1; do
        warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
            man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
        [[ -z $warnings ]] || { echo "FAIL: man warns on ${page##*/}:"; echo "$warnings"; failed=1; }
    done
fi

bash_completion=/usr/share/bash-completion/bash_completion
if [[ ! -r $bash_completion ]]; then
    echo "bash-completion is not installed: completion not checked"
    exit $failed
fi
# shellcheck source=/dev/null
source "$bash_completion"
# shellcheck source=SCRIPTDIR/../../packaging/quelt-db.bash-completion
source "$dir/quelt-db.bash-completion"

# What the completion offers for the words typed so far (the last one is
# being completed), one a line.
completions() {
    COMP_WORDS=(quelt-db "$@")
    COMP_CWORD=$#
    COMP_LINE=${COMP_WORDS[*]}
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _quelt_db quelt-db "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}"
}

same "quelt-db commands" completion "$commands"$'\n'help "$(completions '')"
same "quelt-db help COMMAND" completion "$commands" "$(completions help '')"
same "quelt-db options" completion "$("$quelt_db" --help | options)" "$(completions -)"
for command in $commands; do
    same "quelt-db $command" completion "$( ("$quelt_db" "$command" --help | options; echo --help))" \
        "$(completions "$command" -)"
done
same "report --paper" completion \
    "$("$quelt_db" report --help | grep -oE -- '--paper [[:alnum:]]+(\|[[:alnum:]]+)+' | cut -d' ' -f2 | tr '|' '\n')" \
    "$(completions report x.mdb --paper '')"
same "report --format" completion \
    "$("$quelt_db" report --help | grep -oE -- '--format [[:alnum:]]+(\|[[:alnum:]]+)+' | cut -d' ' -f2 | tr '|' '\n')" \
    "$(completions report x.mdb --format '')"

# File names where a file goes, and nothing where a number does.
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
touch x.mdb q.csv
same "report FILE" completion $'q.csv\nx.mdb' "$(completions report '')"
same "report --output" completion $'q.csv\nx.mdb' "$(completions report x.mdb --output '')"
same "import-questions CSV" completion q.csv "$(completions import-questions x.mdb '')"
same "report --survey" completion "" "$(completions report x.mdb --survey '')"

exit $failed
