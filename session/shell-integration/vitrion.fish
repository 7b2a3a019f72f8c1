# Vitrion's shell integration for fish, run with --init-command once the user's configuration is
# read: the prompt marked (OSC 133) and the working directory reported (OSC 7). fish 4 marks its
# prompt itself and is left alone, as is a configuration that marks it already.
set -l __vitrion_major (string split . -- $version)[1]
if test "$__vitrion_major" -lt 4; and not set -q __vitrion_marks
set -g __vitrion_marks 1

function __vitrion_osc7 --on-variable PWD
    printf '\e]7;file://%s%s\a' (hostname) (string escape --style=url -- $PWD)
end
function __vitrion_prompt --on-event fish_prompt
    printf '\e]133;A\a'
end
function __vitrion_preexec --on-event fish_preexec
    printf '\e]133;C\a'
end
function __vitrion_postexec --on-event fish_postexec
    printf '\e]133;D;%s\a' $status
end
# The command line starts where the prompt ends.
functions -c fish_prompt __vitrion_user_prompt
function fish_prompt
    __vitrion_user_prompt
    printf '\e]133;B\a'
end
__vitrion_osc7
end
