# Vitrion's shell integration for bash, read with --init-file in place of the user's start-up files:
# it reads those files as bash would have, then marks the prompt (OSC 133) and reports the working
# directory (OSC 7). Nothing here is written to the user's files.
if [[ -n "$VITRION_BASH_LOGIN" ]]; then
    unset VITRION_BASH_LOGIN
    # A login shell's files, in bash's order.
    [[ -r /etc/profile ]] && . /etc/profile
    if [[ -r ~/.bash_profile ]]; then
        . ~/.bash_profile
    elif [[ -r ~/.bash_login ]]; then
        . ~/.bash_login
    elif [[ -r ~/.profile ]]; then
        . ~/.profile
    elif [[ -r ~/.bashrc ]]; then
        # No login file at all: the interactive shell's own, as a terminal's user expects.
        . ~/.bashrc
    fi
else
    [[ -r /etc/bash.bashrc ]] && . /etc/bash.bashrc
    [[ -r ~/.bashrc ]] && . ~/.bashrc
fi

# A prompt that already carries marks (the user's own integration) is left alone.
if [[ "$PS1$PROMPT_COMMAND" != *'133;A'* && -z "$__vitrion_marks" ]]; then
    __vitrion_marks=1

    __vitrion_osc7() {
        local LC_ALL=C path="$PWD" encoded="" c i # bytes, as a URL escapes them
        for ((i = 0; i < ${#path}; i++)); do
            c="${path:i:1}"
            case "$c" in
            [A-Za-z0-9/._~-]) encoded+="$c" ;;
            *) printf -v c '%%%02X' "'$c"; encoded+="$c" ;;
            esac
        done
        printf '\e]7;file://%s%s\a' "${HOSTNAME:-$(hostname)}" "$encoded"
    }

    # First in PROMPT_COMMAND: the status of the command that ran, before anything changes it.
    __vitrion_prompt_start() {
        local status=$?
        printf '\e]133;D;%s\a' "$status"
        __vitrion_osc7
        return $status
    }
    # Last: prompt marks around whatever PS1 the user's PROMPT_COMMAND left.
    __vitrion_prompt_end() {
        local status=$?
        if [[ "$PS1" != *'133;A'* ]]; then
            PS1='\[\e]133;A\a\]'"$PS1"'\[\e]133;B\a\]'
        fi
        return $status
    }
    # Joined by newlines, not ';': the user's may end in ';' (pyenv's does), '&' or a newline.
    if [[ -n "$PROMPT_COMMAND" ]]; then
        PROMPT_COMMAND=$'__vitrion_prompt_start\n'"$PROMPT_COMMAND"$'\n__vitrion_prompt_end'
    else
        PROMPT_COMMAND=$'__vitrion_prompt_start\n__vitrion_prompt_end'
    fi
    # Printed once the command line is read, just before the command runs.
    PS0="${PS0}"'\e]133;C\a'
fi
