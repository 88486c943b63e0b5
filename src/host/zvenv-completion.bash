# bash completion for zvenv: commands, options, --type values, document names
# from the root's system/ and user folders, and the sections of an INI
# document (read through a dry run, which writes nothing).

# The application root the command line names: --root DIR, else the folder
# above the one that holds zvenv.
_zvenv_root()
{
    local i
    for ((i = 1; i < ${#COMP_WORDS[@]} - 1; i++)); do
        if [[ ${COMP_WORDS[i]} == --root ]]; then
            printf '%s\n' "${COMP_WORDS[i + 1]}"
            return
        elif [[ ${COMP_WORDS[i]} == --root=* ]]; then
            printf '%s\n' "${COMP_WORDS[i]#--root=}"
            return
        fi
    done
    local exe
    exe=$(command -v "${COMP_WORDS[0]}" 2>/dev/null) || return
    exe=$(readlink -f "$exe") || return
    dirname "$(dirname "$exe")"
}

# Document names without their extension: INI, JSON or both (kind "ini", "json", "").
_zvenv_documents()
{
    local root kind=$1 file
    root=$(_zvenv_root) || return
    local -a patterns=()
    [[ $kind != json ]] && patterns+=("$root"/system/*.ini "$root"/user/*.ini "$root"/user/*/*.ini)
    [[ $kind != ini ]] && patterns+=("$root"/system/*.json "$root"/user/*.json "$root"/user/*/*.json)
    for file in "${patterns[@]}"; do
        [[ -f $file ]] || continue
        file=${file##*/}
        printf '%s\n' "${file%.*}"
    done | sort -u
}

# The sections of an INI document, read without changing anything: the dry
# run's report of what it would have written is left out.
_zvenv_sections()
{
    local root
    root=$(_zvenv_root) || return
    "${COMP_WORDS[0]}" --root "$root" --dry-run -q ini list "$1" 2>/dev/null | grep -v -e '^would ' -e '^  '
}

_zvenv()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local globals="--root --user --encrypt --dry-run --format -q --quiet --help --version"
    COMPREPLY=()
    case $prev in
    --root)
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    --format)
        mapfile -t COMPREPLY < <(compgen -W "text json" -- "$cur")
        return
        ;;
    --type)
        mapfile -t COMPREPLY < <(compgen -W "string int double point rect size rgb bool null" -- "$cur")
        return
        ;;
    --user | --sub | --default | --ordered | --first | --delim | --prefix)
        return
        ;;
    esac

    # The command and its words, without the global options.
    local -a words=()
    local i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        --root | --user | --format) ((i++)) ;;
        -*) ;;
        *) words+=("${COMP_WORDS[i]}") ;;
        esac
    done
    local command=${words[0]-} verb=${words[1]-}

    if [[ $cur == -* ]]; then
        local options=$globals
        case $command in
        ini) options+=" --system --sub --type --default --array --ordered --tree --first --delim --prefix --force" ;;
        json) options+=" --system --sub --type" ;;
        dump | export | import) options+=" --system --sub" ;;
        reset | diff) options+=" --sub" ;;
        esac
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi

    local candidates=""
    case ${#words[@]} in
    0) candidates=$(printf '%s\n' paths user users ini json dump export import reset diff) ;;
    1)
        case $command in
        ini) candidates=$(printf '%s\n' get set delete list) ;;
        json) candidates=$(printf '%s\n' get set delete list check) ;;
        user) candidates=$(printf '%s\n' show set clear) ;;
        dump | export | import | reset | diff) candidates=$(_zvenv_documents "") ;;
        esac
        ;;
    2)
        case $command in
        ini) candidates=$(_zvenv_documents ini) ;;
        json)
            if [[ $verb == check ]]; then
                mapfile -t COMPREPLY < <(compgen -f -- "$cur")
                return
            fi
            candidates=$(_zvenv_documents json)
            ;;
        export | import)
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return
            ;;
        esac
        ;;
    3)
        [[ $command == ini ]] && candidates=$(_zvenv_sections "${words[2]}")
        ;;
    esac
    # One candidate a line: names may hold blanks.
    local IFS=$'\n'
    mapfile -t COMPREPLY < <(compgen -W "$candidates" -- "$cur")
}

complete -F _zvenv zvenv
