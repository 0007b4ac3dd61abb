#include "platform/common/protocol_log.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

using Platform::ProtocolLog;

// The log never grows past its files, keeps them private, and shows this session's newest lines.
TEST(ProtocolLog, RotatesWithinItsLimitAndKeepsTheSessionsLines)
{
    ProtocolLog& log = ProtocolLog::instance();
    const std::string line(500, 'x');
    for (int i = 0; i < 21000; ++i)
        log.write("tela 127.0.0.1:21", ProtocolLog::Kind::Received, "226 " + line);
    log.write("tela 127.0.0.1:21", ProtocolLog::Kind::Sent, "USER contador\nsegunda linha");
    std::uintmax_t total = 0;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(log.folder())) {
        ++files;
        total += entry.file_size();
        struct stat st {};
        ASSERT_EQ(::stat(entry.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << entry.path();
    }
    EXPECT_EQ(files, ProtocolLog::kFiles);
    EXPECT_LE(total, ProtocolLog::kFileLimit * ProtocolLog::kFiles);
    const auto lines = log.sessionLines();
    EXPECT_EQ(lines.size(), ProtocolLog::kSessionLines);
    EXPECT_NE(lines[lines.size() - 2].find("[tela 127.0.0.1:21] > USER contador"), std::string::npos) << lines[lines.size() - 2];
    EXPECT_NE(lines.back().find("] > segunda linha"), std::string::npos);
}
