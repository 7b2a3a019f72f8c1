// OSC 7's URL as a folder to start a shell in: only this machine's, decoded, absolute.
#include "terminal/WorkingDirectory.h"

#include <gtest/gtest.h>

TEST(WorkingDirectoryTest, OnlyThisMachinesAbsoluteFoldersAreUsed)
{
    const struct {
        const char* url;
        const char* path; // empty: not used
    } cases[] = {
        {"file://here/home/me/src", "/home/me/src"},
        {"file://HERE/tmp", "/tmp"},
        {"file://localhost/tmp", "/tmp"},
        {"file:///tmp/a%20b/%C3%A9", "/tmp/a b/\u00e9"},
        {"file://elsewhere/home/me", ""},
        {"file://here", ""},
        {"file://here/tmp%00/etc", ""},
        {"http://here/tmp", ""},
        {"file:relative", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WorkingDirectory::localPath(QString::fromUtf8(c.url), QStringLiteral("here")),
                  QString::fromUtf8(c.path))
            << c.url;
    }
    EXPECT_EQ(WorkingDirectory::shown(QStringLiteral("/home/me/src"), QStringLiteral("/home/me")),
              QStringLiteral("~/src"));
    EXPECT_EQ(WorkingDirectory::shown(QStringLiteral("/home/meadow"), QStringLiteral("/home/me")),
              QStringLiteral("/home/meadow"));
}
