#include "screen/protected_paths.h"

#include <gtest/gtest.h>

using namespace Cli_Vop31600;

TEST(ProtectedPaths, OnlyTheRootCanMatchInAnyLetterCase)
{
    for (const char* name : {"XMLFTP", "xmlftp", "TmpFtp", "EXEFTP", "relftp"})
        EXPECT_TRUE(isProtectedPath("/", name)) << name;
    EXPECT_FALSE(isProtectedPath("/XMLFTP", "TMPFTP"));   // "/XMLFTPTMPFTP"
    EXPECT_FALSE(isProtectedPath("/XMLFTP/", "TMPFTP"));
    EXPECT_FALSE(isProtectedPath("/", "XMLFTP2"));
    EXPECT_FALSE(isProtectedPath("/", ""));
    EXPECT_TRUE(isProtectedPath("/XML", "ftp"));          // the join has no separator
}

TEST(ProtectedPaths, UpperCasesOnlyAsciiLetters)
{
    EXPECT_EQ(upperAscii("organização 12"), "ORGANIZAçãO 12");
}
