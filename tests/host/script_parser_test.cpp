#include "host/host_options.h"
#include "host/script_parser.h"

#include <gtest/gtest.h>

namespace {

using Host::CommandKind;
using Host::parseScript;
using Host::ScriptError;

// The line number and message of the error a script raises, or -1 when it parses.
std::pair<int, std::string> errorOf(const std::string& script)
{
    try {
        parseScript(script);
    } catch (const ScriptError& e) {
        return {e.line(), e.what()};
    }
    return {-1, {}};
}

TEST(ScriptParser, TypeFolderAndChoice)
{
    const auto commands = parseScript("type  Ação 12\nanswer folder /tmp/lote de notas\nanswer folder cancel\n"
                                      "answer choice 3\n");
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[0].kind, CommandKind::Type);
    EXPECT_EQ(commands[0].text, "Ação 12");
    EXPECT_EQ(commands[1].kind, CommandKind::AnswerFolder);
    EXPECT_EQ(commands[1].text, "/tmp/lote de notas");
    EXPECT_TRUE(commands[2].cancel);
    EXPECT_EQ(commands[3].kind, CommandKind::AnswerChoice);
    EXPECT_EQ(commands[3].number, 3);
    EXPECT_EQ(errorOf("open\nanswer choice 0\n").first, 2);
    EXPECT_EQ(errorOf("answer choice two\n").first, 1);
    EXPECT_EQ(errorOf("type\n").first, 1);
    EXPECT_EQ(errorOf("answer folder\n").first, 1);
}

TEST(ScriptParser, EveryCommandWithItsArguments)
{
    const auto commands = parseScript(
        "# a comment\n"
        "\n"
        "open\n"
        "click btnAtualizar\n"
        "key Ctrl+H\n"
        "select 3\n"
        "select name Nota Fiscal 01.xml\n"
        "  dblclick  \n"
        "title DSNOME\n"
        "answer confirm yes\n"
        "answer confirm no\r\n"
        "answer save /tmp/dir with space/nota.xml\n"
        "answer save cancel\n"
        "answer open /tmp/a.xml; /tmp/b c.xml\n"
        "answer open cancel\n"
        "answer input Pasta  Nova\n"
        "answer input\n"
        "answer input cancel\n"
        "wait idle\n"
        "wait idle 500\n"
        "wait 250\n"
        "dump\n"
        "dump /tmp/state one.json\n"
        "close\n");
    ASSERT_EQ(commands.size(), 22u);
    std::size_t i = 0;
    auto next = [&](CommandKind kind, int line) -> const Host::ScriptCommand& {
        const auto& command = commands.at(i++);
        EXPECT_EQ(command.kind, kind) << "command " << i;
        EXPECT_EQ(command.line, line) << "command " << i;
        return command;
    };
    next(CommandKind::Open, 3);
    EXPECT_EQ(next(CommandKind::Click, 4).text, "btnAtualizar");
    EXPECT_EQ(next(CommandKind::Key, 5).text, "Ctrl+H");
    EXPECT_EQ(next(CommandKind::Select, 6).number, 3);
    EXPECT_EQ(next(CommandKind::SelectName, 7).text, "Nota Fiscal 01.xml");
    EXPECT_EQ(next(CommandKind::DblClick, 8).source, "dblclick");
    EXPECT_EQ(next(CommandKind::Title, 9).text, "DSNOME");
    EXPECT_TRUE(next(CommandKind::AnswerConfirm, 10).yes);
    EXPECT_FALSE(next(CommandKind::AnswerConfirm, 11).yes);
    const auto& save = next(CommandKind::AnswerSave, 12);
    EXPECT_EQ(save.text, "/tmp/dir with space/nota.xml");
    EXPECT_FALSE(save.cancel);
    EXPECT_TRUE(next(CommandKind::AnswerSave, 13).cancel);
    EXPECT_EQ(next(CommandKind::AnswerOpen, 14).paths, (std::vector<std::string>{"/tmp/a.xml", "/tmp/b c.xml"}));
    EXPECT_TRUE(next(CommandKind::AnswerOpen, 15).cancel);
    const auto& input = next(CommandKind::AnswerInput, 16);
    EXPECT_EQ(input.text, "Pasta  Nova");
    EXPECT_FALSE(input.cancel);
    const auto& emptyInput = next(CommandKind::AnswerInput, 17);
    EXPECT_EQ(emptyInput.text, "");
    EXPECT_FALSE(emptyInput.cancel);
    EXPECT_TRUE(next(CommandKind::AnswerInput, 18).cancel);
    EXPECT_EQ(next(CommandKind::WaitIdle, 19).number, Host::defaultIdleLimitMs);
    EXPECT_EQ(next(CommandKind::WaitIdle, 20).number, 500);
    EXPECT_EQ(next(CommandKind::Wait, 21).number, 250);
    EXPECT_EQ(next(CommandKind::Dump, 22).text, "");
    EXPECT_EQ(next(CommandKind::Dump, 23).text, "/tmp/state one.json");
    next(CommandKind::Close, 24);
}

TEST(ScriptParser, MistakesFailWithTheirLine)
{
    const std::pair<std::string, std::string> cases[] = {
        {"open\nfrobnicate now\n", "unknown command 'frobnicate'"},
        {"open\nopen twice\n", "takes no argument"},
        {"open\nclick\n", "needs an object name"},
        {"open\nclick btn Home\n", "one word"},
        {"open\nselect -1\n", "row number"},
        {"open\nselect first\n", "row number"},
        {"open\nselect name\n", "needs a name"},
        {"open\nanswer confirm maybe\n", "yes or no"},
        {"open\nanswer save\n", "a path or cancel"},
        {"open\nanswer open a.xml;;b.xml\n", "empty path"},
        {"open\nanswer print x\n", "confirm, save, open, input, folder or choice"},
        {"open\nwait\n", "idle, progress or a number"},
        {"open\nwait status\n", "a text"},
        {"open\nwait progress soon\n", "milliseconds"},
        {"open\nwait soon\n", "milliseconds"},
        {"open\nwait idle 1e3\n", "milliseconds"},
        {"open\nwait 10 20\n", "one number"},
        {"open\nkey Ctrl+Banana\n", "not a key sequence"},
    };
    for (const auto& [script, expected] : cases) {
        SCOPED_TRACE(script);
        const auto [line, message] = errorOf(script);
        EXPECT_EQ(line, 2);
        EXPECT_NE(message.find("line 2"), std::string::npos) << message;
        EXPECT_NE(message.find(expected), std::string::npos) << message;
    }
}

TEST(HostOptions, CommandLine)
{
    const char* full[] = {"vop-host", "--server", "127.0.0.5:8123", "--script", "s.txt", "--module", "/m.so"};
    const auto options = Host::parseHostOptions(7, full);
    EXPECT_EQ(options.serverHost, std::optional<std::string>("127.0.0.5"));
    EXPECT_EQ(options.serverPort, 8123);
    EXPECT_EQ(options.scriptFile, std::optional<std::string>("s.txt"));
    EXPECT_EQ(options.modulePath, "/m.so");

    const char* none[] = {"vop-host"};
    EXPECT_FALSE(Host::parseHostOptions(1, none).serverHost);

    for (const char* bad : {"127.0.0.1", "127.0.0.1:", ":80", "host:0", "host:70000", "host:8o"}) {
        const char* argv[] = {"vop-host", "--server", bad};
        EXPECT_THROW(Host::parseHostOptions(3, argv), std::invalid_argument) << bad;
    }
    const char* missing[] = {"vop-host", "--script"};
    EXPECT_THROW(Host::parseHostOptions(2, missing), std::invalid_argument);
    const char* unknown[] = {"vop-host", "--verbose"};
    EXPECT_THROW(Host::parseHostOptions(2, unknown), std::invalid_argument);
}

} // namespace
