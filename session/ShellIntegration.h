// Shell integration: bash, zsh and fish started so that their prompts carry the semantic marks
// (OSC 133) and report the working directory (OSC 7), without a change to the user's start-up
// files. The scripts ship inside the program and are written to a private folder when first used;
// each reads the user's own files as the shell would have, then adds its hooks.
#pragma once

#include <string>

struct ShellLaunchPlan;

namespace ShellIntegration {
// Changes the plan of an interactive bash, zsh or fish to load the integration; any other shell or
// a command is left as it is, as is every shell when the scripts cannot be written.
void apply(ShellLaunchPlan& plan);
// The private folder the scripts are written to (created on demand); empty when it cannot be.
std::string scriptFolder();
} // namespace ShellIntegration
