# Bash completion of zep-sim: its options, its subcommands, and file names
# where an option takes a file.
_zep_sim()
{
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    local options="--help --version --lib --trace --report --junit --summary-json --seed
                   --verbose --quiet --log-level --strict --log --record -h -v -q"
    local subcommands="compare explain logs replay help"
    # What a word that is no option's value names: a scenario (or - for
    # standard input, read only when named), a log, a recording.
    local files='!*.y*ml' stdin="-"
    if [[ ${COMP_WORDS[1]} == compare ]]; then
        options="--help --lib --trace --seed"
        subcommands="" stdin=""
    elif [[ ${COMP_WORDS[1]} == explain ]]; then
        options="--help --replay --logs --lib --meas"
        subcommands=""
    elif [[ ${COMP_WORDS[1]} == logs ]]; then
        options="--help --json --verbose --ap --scenario --report -v"
        subcommands="" files=""
    elif [[ ${COMP_WORDS[1]} == replay ]]; then
        options="--help --lib --trace --report --timeline --verbose --log-level -v"
        subcommands="" files=""
    fi
    case $prev in
        --lib)
            COMPREPLY=($(compgen -f -X '!*.so*' -- "$cur") $(compgen -d -- "$cur"))
            return ;;
        --trace|--report|--junit|--summary-json|--log|--record|--scenario|--replay|--logs)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
        --seed)
            return ;;
        --log-level)
            COMPREPLY=($(compgen -W "0 1 2 3" -- "$cur"))
            return ;;
        --meas)
            COMPREPLY=($(compgen -W "lm tpc" -- "$cur"))
            return ;;
        help)
            COMPREPLY=($(compgen -W "compare explain logs replay" -- "$cur"))
            return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options $stdin" -- "$cur"))
        return
    fi
    local words=$stdin
    if (( COMP_CWORD == 1 )); then
        words+=" $subcommands"
    fi
    COMPREPLY=($(compgen -W "$words" -- "$cur") $(compgen -f -X "$files" -- "$cur") $(compgen -d -- "$cur"))
}
complete -o filenames -F _zep_sim zep-sim
