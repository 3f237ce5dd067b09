# Bash completion for tarn: the commands, each command's options, the size presets, pieces and folders.
_tarn_presets() {
    echo "email floppy superfloppy zip100 zip250 zip750 cd74 cd80 flash4 flash8 flash16 flash32 flash64 flash128"
    echo "flash256 flash512 flash1024 dvd"
}
_tarn() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local command=${COMP_WORDS[1]}
    COMPREPLY=()
    if [[ $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W "split join info verify repair help --help --version" -- "$cur"))
        return
    fi
    # "tarn help COMMAND"
    if [[ $command == help ]]; then
        [[ $COMP_CWORD -eq 2 ]] && COMPREPLY=($(compgen -W "split join info verify repair" -- "$cur"))
        return
    fi
    # "--size=VALUE": bash splits the word at "=" (the option two words back); kept whole, it is split here.
    if [[ $prev == = && $COMP_CWORD -ge 3 ]]; then
        prev=${COMP_WORDS[COMP_CWORD-2]}
    elif [[ $cur == --*=* ]]; then
        local option=${cur%%=*}
        cur=${cur#*=}
        prev=$option
        if [[ $option == --size ]]; then
            COMPREPLY=($(compgen -P "$option=" -W "$(_tarn_presets)" -- "$cur"))
            return
        fi
    fi
    case $prev in
        -s|--size)
            COMPREPLY=($(compgen -W "$(_tarn_presets)" -- "$cur"))
            return ;;
        -o|--output)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            [[ $command == join ]] && [[ -z $cur || $cur == - ]] && COMPREPLY+=(-)
            return ;;
        -n|--count|-k|--key|-d|--description|--name|-r|--recovery|-c|--create)
            return ;;
    esac
    if [[ $cur == -* ]]; then
        local options
        case $command in
            split) options="--size --count --output --recovery --script --key --description --name --no-checksum --force --quiet" ;;
            join) options="--output --key --no-checksum --yes --force --quiet" ;;
            info) options="--json" ;;
            verify) options="--key --json --quiet" ;;
            repair) options="--create --force --quiet" ;;
        esac
        COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    case $command in
        split) mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
        # A piece of a set, or the folder that holds one.
        join|info|verify)
            mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X '!*.[Tt][Rr][Nn]' -- "$cur") ;;
        # A piece, or one of the set's recovery volumes.
        repair)
            mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X '!*.@([Tt][Rr][Nn]|[Pp][Aa][Rr]2)' -- "$cur") ;;
    esac
}
complete -F _tarn tarn
