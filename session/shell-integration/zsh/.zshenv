# Vitrion's shell integration for zsh, found through ZDOTDIR: ZDOTDIR is put back first, so that zsh
# reads the user's own .zshenv here and their .zprofile, .zshrc and .zlogin after; then the prompt is
# marked (OSC 133) and the working directory reported (OSC 7) from hooks.
if [[ -n "$VITRION_ZDOTDIR" ]]; then
    ZDOTDIR="$VITRION_ZDOTDIR"
else
    unset ZDOTDIR
fi
unset VITRION_ZDOTDIR
[[ -r "${ZDOTDIR:-$HOME}/.zshenv" ]] && source "${ZDOTDIR:-$HOME}/.zshenv"

if [[ -o interactive && -z "$__vitrion_marks" ]]; then
    typeset -g __vitrion_marks=1
    typeset -g __vitrion_first=1

    __vitrion_osc7() {
        emulate -L zsh
        setopt extendedglob
        unsetopt multibyte # bytes, as a URL escapes them
        local encoded=${PWD//(#m)[^A-Za-z0-9\/._~-]/%${(l:2::0:)$(([##16]#MATCH))}}
        print -rn -- $'\e]7;file://'"${HOST}${encoded}"$'\a'
    }
    __vitrion_precmd() {
        local st=$?
        if (( __vitrion_first )); then
            __vitrion_first=0
            # The user's own integration marks the prompt already: ours steps aside.
            if [[ "$PS1" == *'133;A'* ]]; then
                precmd_functions=(${precmd_functions:#__vitrion_precmd})
                preexec_functions=(${preexec_functions:#__vitrion_preexec})
                return $st
            fi
        else
            print -n $'\e]133;D;'"$st"$'\a'
        fi
        __vitrion_osc7
        print -n $'\e]133;A\a'
        [[ "$PS1" == *'133;B'* ]] || PS1="$PS1"$'%{\e]133;B\a%}'
        return $st
    }
    __vitrion_preexec() {
        print -n $'\e]133;C\a'
    }
    typeset -ga precmd_functions preexec_functions
    precmd_functions=(__vitrion_precmd $precmd_functions)
    preexec_functions+=(__vitrion_preexec)
fi
