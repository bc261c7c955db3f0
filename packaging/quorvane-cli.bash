# bash completion for quorvane-cli                         -*- shell-script -*-
# The two commands, the options of the command being typed, the values the
# options take (paper sizes, orientations, duplex modes, languages, the
# system's printers), and folders or files where one is expected.

# compgen -W expands the word list itself, and splits its result into
# COMPREPLY, as bash-completion's own scripts do.
# shellcheck disable=SC2207,SC2016,SC2034
_quorvane_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    local both="--no-skip-empty --first-sheet --sheets --quiet --dry-run --report --lang
        --help --version"
    local print_only="--list --range --paper --sheet-delay --workbook-delay --printer --pdf
        --copies --collate --duplex --jobs"
    local page_setup_only="--left --right --top --bottom --header --footer --orientation"
    # Options followed by a value.
    local with_value="--sheets --report --lang --jobs --list --range --paper --sheet-delay
        --workbook-delay --printer --pdf --copies --duplex --left --right --top --bottom --header
        --footer --orientation"

    case $prev in
        --paper)
            COMPREPLY=($(compgen -W 'A3 A4 A5 B4 B5 default' -- "$cur"))
            return
            ;;
        --orientation)
            COMPREPLY=($(compgen -W 'portrait landscape' -- "$cur"))
            return
            ;;
        --duplex)
            COMPREPLY=($(compgen -W 'none long short' -- "$cur"))
            return
            ;;
        --lang)
            COMPREPLY=($(compgen -W 'zh en' -- "$cur"))
            return
            ;;
        --printer)
            local printers
            printers=$(lpstat -e 2>/dev/null)
            COMPREPLY=($(compgen -W '$printers' -- "$cur"))
            return
            ;;
        --pdf)
            _filedir -d
            return
            ;;
        --list | --report)
            _filedir
            return
            ;;
        --sheets | --range | --sheet-delay | --workbook-delay | --copies | --jobs | --left | \
            --right | --top | --bottom | --header | --footer)
            return
            ;;
    esac
    [[ $split == true ]] && return

    # The command and the folder: the words that are neither options nor
    # option values.
    local i word command="" positional=0 options_ended=false
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        if [[ $options_ended == false && $word == -- ]]; then
            options_ended=true
        elif [[ $options_ended == false && $word == -?* ]]; then
            [[ $word != *=* && " ${with_value//$'\n'/ } " == *" $word "* ]] && ((i++))
        else
            ((positional++))
            [[ $positional -eq 1 ]] && command=$word
        fi
    done

    if [[ $cur == -* && $options_ended == false ]]; then
        local options=$both
        case $command in
            print) options+=" $print_only" ;;
            page-setup) options+=" $page_setup_only" ;;
            "") options+=" $print_only $page_setup_only" ;;
        esac
        COMPREPLY=($(compgen -W '$options' -- "$cur"))
        return
    fi

    case $positional in
        0) COMPREPLY=($(compgen -W 'print page-setup' -- "$cur")) ;;
        1) _filedir -d ;; # FOLDER
    esac
} &&
    complete -F _quorvane_cli quorvane-cli

# ex: filetype=sh
