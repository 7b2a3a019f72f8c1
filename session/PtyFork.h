// Starting the shell's process on a new pseudo-terminal (forkpty), with the master descriptor
// close-on-exec and non-blocking in the parent.
#pragma once

#include "ShellLaunchPlan.h"

#include <sys/types.h>

// Which step of a start failed.
enum class StartStep { none, pseudoTerminal, notFound, workingDirectory, execute };

struct PtyChild {
    pid_t pid = -1;  // -1 when the start failed
    int master = -1; // the pseudo-terminal's master side
    int error = 0;   // errno of the failure
    StartStep failedStep = StartStep::none;
};

// Returns once the program runs, or with the step that failed and why: the child reports a failed
// chdir or execve back through a close-on-exec pipe before it exits (and is reaped here).
PtyChild startOnPseudoTerminal(const ShellLaunchPlan& plan, unsigned short rows, unsigned short columns);
