# bash completion for orvimet-cli

_orvimet_cli()
{
    local cur prev words cword
    _init_completion || return

    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W 'judge suite explore grade merge init help --help --version' -- "$cur"))
        return
    fi
    local command=${words[1]}

    # In judge, everything after the program belongs to the program.
    if [[ $command == judge ]]; then
        local i
        for ((i = 2; i < cword; i++)); do
            case ${words[i]} in
            -e | --exercise | -t | --timeout | -r | --reference | --cpu | --memory | --file-size | \
                --processes | --output) ((i++)) ;;
            -*) ;;
            *) return ;;
            esac
        done
    fi

    case $prev in
    -e | --exercise)
        COMPREPLY=($(compgen -W 'stack queue stackqueue' -- "$cur"))
        return
        ;;
    -r | --reference)
        _filedir -d
        return
        ;;
    -t | --timeout | -j | --jobs | --cpu | --memory | --file-size | --processes | --output | \
        --explore | --seed | --runs | --time | --give-up-after | --flags | --build-cpu | \
        --points | --memcheck-penalty | --slurm)
        return
        ;;
    --cases)
        _filedir
        COMPREPLY+=($(compgen -W 'extended' -- "$cur"))
        return
        ;;
    --csv)
        _filedir csv
        return
        ;;
    -o | --out)
        _filedir -d
        return
        ;;
    --compiler)
        COMPREPLY=($(compgen -c -- "$cur"))
        return
        ;;
    --json)
        _filedir json
        return
        ;;
    --config)
        _filedir toml
        return
        ;;
    --worksheet)
        _filedir csv
        return
        ;;
    --compare | --similar-to)
        _filedir -d
        return
        ;;
    --shard)
        COMPREPLY=($(compgen -W 'auto' -- "$cur"))
        return
        ;;
    esac
    if [[ $command == help && $cword -eq 2 ]]; then
        COMPREPLY=($(compgen -W 'judge suite explore grade merge init' -- "$cur"))
        return
    fi

    if [[ $cur == -* ]]; then
        local options='--exercise --timeout --reference --cpu --memory --file-size --processes
            --output --no-sandbox --help'
        [[ $command == suite ]] && options+=' --jobs --csv --json --cases --explore --seed'
        [[ $command == explore ]] && options+=' --seed --runs --time'
        [[ $command == grade ]] && options+=' --out --force --jobs --cases --explore --seed
            --compiler --flags --no-cache --memcheck --give-up-after --shard --build-cpu --quiet
            --only --config --points --memcheck-penalty --worksheet --compare --similar-to'
        [[ $command == merge ]] && options='--out --force --help'
        [[ $command == init ]] && options='--slurm --help'
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    _filedir
}
complete -F _orvimet_cli orvimet-cli
