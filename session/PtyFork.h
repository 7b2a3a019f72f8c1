// Starting the shell's process on a new pseudo-terminal (forkpty), with the master descriptor
// close-on-exec and non-blocking in the parent.
#pragma once

#include "ShellLaunchPlan.h"

#include <sys/types.h>

struct PtyChild {
    pid_t pid = -1;  // -1 when the start failed
    int master = -1; // the pseudo-terminal's master side
    int error = 0;   // errno of the failure
};

PtyChild startOnPseudoTerminal(const ShellLaunchPlan& plan, unsigned short rows, unsigned short columns);
