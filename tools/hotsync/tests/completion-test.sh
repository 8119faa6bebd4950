#!/usr/bin/env bash
# Completes hotsync command lines with the bash completion script and checks
# the words it offers: commands, a group's commands, options and their
# values, and user names from the root the command line names.
# Usage: completion-test.sh HOTSYNC COMPLETION-SCRIPT
hotsync=$1
script=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
"$hotsync" --root "$root" users add "Pat Driver" >/dev/null || exit 1
"$hotsync" --root "$root" users add Ann >/dev/null || exit 1

source /usr/share/bash-completion/bash_completion
source "$script"

# The words offered for the last word of a command line, joined by "|".
offered()
{
    local line=$1
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_WORDS[0]=$hotsync
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$hotsync ${line#* }"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _hotsync
    local IFS="|"
    echo "${COMPREPLY[*]}"
}

failed=0
check()
{
    local got
    got=$(offered "$1")
    if [[ $got != "$2" ]]; then
        echo "FAIL: \"$1\" offers \"$got\", not \"$2\""
        failed=1
    fi
}

check "hotsync --root $root us" "users"
check "hotsync --root $root users re" "remove|rename"
check "hotsync --root $root help queue " "list|remove|clear"
check "hotsync --root $root sync --qu" "--quiet"
check "hotsync --root $root action set --n" "--next-only"
check "hotsync --root $root sync --user P" 'Pat\ Driver'
check "hotsync --root $root users remove --user " 'Pat\ Driver|Ann'
check "hotsync --root $root export --format " "csv|json"
check "hotsync --root $root sync --action d" "desktop-overwrites"
exit $failed
