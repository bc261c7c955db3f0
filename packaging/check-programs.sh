#!/usr/bin/env bash
# Both programs answer --version and --help without a display and without
# ending a running copy of the window, and the bash completion of quorvane-cli
# offers every option its --help lists and the values each option takes.
# Usage: check-programs.sh QUORVANE_CLI QUORVANE VERSION COMPLETION_FILE
set -uo pipefail
cli=$(realpath "$1") gui=$(realpath "$2") version=$3 completion=$(realpath "$4")

failures=0
checks=0
check() { # name, got, want
    checks=$((checks + 1))
    if [ "$2" != "$3" ]; then
        failures=$((failures + 1))
        printf 'FAIL %s\n  got:  %s\n  want: %s\n' "$1" "$2" "$3"
    fi
}

work=$(mktemp -d)
sleeper=""
cleanup() {
    [ -n "$sleeper" ] && kill "$sleeper" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A stand-in process with the window's executable name, which the window's
# single-copy rule would end.
mkdir -p "$work/bin" "$work/here"
cp /bin/sleep "$work/bin/$(basename "$gui")"
"$work/bin/$(basename "$gui")" 60 &
sleeper=$!

# program | arguments | exit status | first line of standard output
rows=(
    "$cli|--version|0|quorvane-cli $version"
    "$cli|print /nowhere --bogus --version|0|quorvane-cli $version"
    "$cli|--version --help|0|Usage: quorvane-cli print FOLDER [options]"
    "$cli|print -- --version|2|"
    "$gui|--version|0|Quorvane $version"
    "$gui|-autorun --version|0|Quorvane $version"
    "$gui|--help|0|Usage: Quorvane [-autorun]"
)
for row in "${rows[@]}"; do
    IFS='|' read -r program arguments want_status want_line <<<"$row"
    # shellcheck disable=SC2086 # the arguments are split on purpose
    out=$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        timeout 20 "$program" $arguments 2>/dev/null)
    status=$?
    name="$(basename "$program") $arguments"
    check "$name: exit status" "$status" "$want_status"
    check "$name: first line" "$(head -n 1 <<<"$out")" "$want_line"
done
check "running copy of the window left alone" "$(kill -0 "$sleeper" 2>/dev/null && echo alive)" \
    alive

# Completion, the way bash calls it: the words of the line, the cursor at the
# end of the last one.
if [ ! -f /usr/share/bash-completion/bash_completion ]; then
    echo "skipped: bash-completion is not installed ($checks checks done, $failures failed)"
    [ "$failures" -eq 0 ] && exit 77
    exit 1
fi
mkdir -p "$work/here/books/2024"
touch "$work/here/a.csv"
printf '#!/bin/sh\nprintf "Office-2\\nLabel_Printer\\n"\n' >"$work/bin/lpstat"
chmod +x "$work/bin/lpstat"

completions() { # the command line typed so far
    bash --norc --noprofile -c '
        cd "$1/here" && PATH="$1/bin:$PATH"
        source /usr/share/bash-completion/bash_completion
        source "$2"
        read -r -a COMP_WORDS <<<"$3"
        [[ $3 == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE=$3
        COMP_POINT=${#3}
        _quorvane_cli quorvane-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort -u | tr "\n" " " | sed "s/ $//"
    ' _ "$work" "$completion" "$1"
}

# line typed | what is offered
rows=(
    "quorvane-cli |page-setup print"
    "quorvane-cli pa|page-setup"
    "quorvane-cli --sheets print |page-setup print"
    "quorvane-cli print |books"
    "quorvane-cli print --quiet |books"
    "quorvane-cli print books |"
    "quorvane-cli print books --pa|--paper"
    "quorvane-cli print books --le|"
    "quorvane-cli page-setup books --le|--left"
    "quorvane-cli page-setup books --pdf|"
    "quorvane-cli print books --paper |A3 A4 A5 B4 B5 default"
    "quorvane-cli print books --paper=A|A3 A4 A5"
    "quorvane-cli page-setup books --orientation |landscape portrait"
    "quorvane-cli print books --duplex |long none short"
    "quorvane-cli print books --lang |en zh"
    "quorvane-cli print books --printer |Label_Printer Office-2"
    "quorvane-cli print books --printer O|Office-2"
    "quorvane-cli print books --pdf |books"
    "quorvane-cli print books --report |a.csv books"
    "quorvane-cli print books --list a|a.csv"
    "quorvane-cli print books --jobs |"
    "quorvane-cli page-setup books --left |"
)
for row in "${rows[@]}"; do
    check "completion of \"${row%%|*}\"" "$(completions "${row%%|*}")" "${row#*|}"
done

# Every option that --help explains is offered for one of the commands.
offered=" $(completions "quorvane-cli print --") $(completions "quorvane-cli page-setup --") "
for option in $("$cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    case $offered in
        *" $option "*) check "completion offers $option" yes yes ;;
        *) check "completion offers $option" no yes ;;
    esac
done

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
