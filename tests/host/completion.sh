#!/usr/bin/env bash
# completion.sh COMPLETION-SCRIPT ZVENV SAMPLE-SYSTEM-FOLDER: the bash completion of zvenv asked
# for the words of command lines; the root it reads must stay as it was.
set -u
# shellcheck disable=SC1090
source "$1"
PATH=$(dirname "$2"):$PATH
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/system" "$root/user"
cp "$3"/* "$root/system/"
failed=0

# check EXPECTED WORD...: the candidates for the last word of the line.
check()
{
    local expected=$1 got=
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _zvenv
    [[ ${#COMPREPLY[@]} -eq 0 ]] || got=$(printf '%s ' "${COMPREPLY[@]}")
    if [[ $got != "$expected" ]]; then
        echo "$*<TAB>: expected '$expected', got '$got'"
        failed=1
    fi
}

[[ $(complete -p zvenv) == "complete -F _zvenv zvenv" ]] || { echo "no completion for zvenv"; failed=1; }
check "dump diff " zvenv d
check "--dry-run " zvenv --dr
check "text json " zvenv --format ""
check "get set delete list check " zvenv --root "$root" json ""
check "trade " zvenv --root "$root" ini get t
check "layout " zvenv --root "$root" json set l
check "envsetting html layout trade " zvenv --root "$root" dump ""
check "Main Columns " zvenv --root "$root" ini get trade ""
"$2" --root "$root" -q ini set trade "Two Words" k v
check "Two Words " zvenv --root "$root" ini get trade T
rm -rf "${root:?}"/user/*
check "int " zvenv --root "$root" ini get trade Main Title --type i
check "--format --first --force " zvenv --root "$root" ini set trade Columns --f
check "" zvenv --root "$root" users ""
[[ -z $(ls -A "$root/user") ]] || { echo "completion wrote into the root: $(ls -A "$root/user")"; failed=1; }
exit $failed
