// What the shell's process is given: its argument vector and its environment.
#include "session/ShellLaunchPlan.h"

#include <gtest/gtest.h>

TEST(ShellLaunchPlanTest, FileNameWithoutLeadingDashThenLoginFlag)
{
    EXPECT_EQ(lastPathComponent("/bin/zsh"), "zsh");
    EXPECT_EQ(lastPathComponent("/usr/local/bin/fish/"), "fish");
    EXPECT_EQ(lastPathComponent("zsh"), "zsh");
    EXPECT_EQ(lastPathComponent("/"), "/");
    const ShellLaunchPlan plan = ShellLaunchPlan::forChoice("sh");
    EXPECT_EQ(plan.path, "/bin/sh");
    EXPECT_EQ(plan.arguments, (std::vector<std::string>{"sh", "-l"}));
}

TEST(ShellLaunchPlanTest, TerminalVariablesReplaceInheritedOnesAndTheRestIsKept)
{
    const char* inherited[] = {"PATH=/usr/bin", "TERM=dumb",  "COLORTERM", "LANG=C.UTF-8",
                               "TERM=again",    "TERMINAL=x", nullptr};
    EXPECT_EQ(shellEnvironment(inherited), (std::vector<std::string>{
                                               "PATH=/usr/bin",
                                               "TERM=xterm-256color",
                                               "COLORTERM",
                                               "LANG=C.UTF-8",
                                               "TERMINAL=x",
                                               "COLORTERM=truecolor",
                                               "TERM_PROGRAM=Vitrion",
                                               "TERM_PROGRAM_VERSION=" VITRION_VERSION,
                                           }));
}
