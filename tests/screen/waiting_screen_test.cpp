// The screen's clients keep the window alive while they wait: against servers that accept and never
// answer, timers keep firing, the time-out still ends in one error box, and a close during the wait
// ends it and then closes the screen.
#include "tests/screen/screen_harness.h"
#include "tests/support/appserver_fixture.h"

#include "platform/common/wait_hook.h"
#include "platform/ftp/id_ftp.h"

#include <Poco/Net/ServerSocket.h>

#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace Cli_Vop31600;

namespace {

// A server that takes connections (the kernel completes them) and never says a word.
struct SilentServer {
    explicit SilentServer(const std::string& ip, int port = 21) : socket(Poco::Net::SocketAddress(ip, port), 16) {}
    int port() const { return socket.address().port(); }
    Poco::Net::ServerSocket socket;
};

// The longest pause between the ticks of a 5 ms timer, from its first tick on.
struct GapMeter {
    GapMeter()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (ticks++ > 0)
                longest = std::max(longest, clock.restart());
            else
                clock.start();
        });
        timer.start();
    }
    QTimer timer;
    QElapsedTimer clock;
    qint64 longest = 0;
    int ticks = 0;
};

std::vector<std::string> errorsOf(const Mrv::ScriptedPrompts& prompts)
{
    std::vector<std::string> texts;
    for (const auto& prompt : prompts.transcript())
        if (prompt.kind == "error")
            texts.push_back(prompt.text);
    return texts;
}

std::string ftpSettings(const std::string& ftpHost)
{
    return "INSERT INTO ftp_data VALUES ('S','" + ftpHost + "','user','senha','0');"
           "INSERT INTO local_cache VALUES ('', '');";
}

} // namespace

TEST(OpenedScreenWaiting, TimersRunWhileTheFtpServerIsSilentAndItsTimeOutStillShowsOneError)
{
    const std::string ip = loopbackOfThisTest("127.0.93.");
    SilentServer ftp(ip);
    TestSupport::AppServerProcess app(ftpSettings(ip));
    GapMeter meter;
    QElapsedTimer opening;
    opening.start();
    ScreenHarness harness(app.host(), app.port());  // returns once the banner wait has timed out
    EXPECT_GE(opening.elapsed(), 14000);
    EXPECT_GT(meter.ticks, 500);  // one every slice at least
    EXPECT_LT(meter.longest, 50) << "the event loop stood still for " << meter.longest << " ms";
    const auto errors = errorsOf(*harness.prompts);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Tempo esgotado aguardando resposta do servidor FTP"), std::string::npos) << errors[0];
    ASSERT_NE(harness.form, nullptr);
    EXPECT_FALSE(harness.form->IdFTP->Connected());
}

TEST(OpenedScreenWaiting, ACloseDuringTheWaitEndsItQuietlyAndThenClosesTheScreen)
{
    // Once against a silent FTP server, once against an application server that never answers.
    for (const bool silentAppServer : {false, true}) {
        SCOPED_TRACE(silentAppServer ? "application server" : "FTP server");
        const std::string ip = loopbackOfThisTest("127.0.93.");
        SilentServer ftp(ip);
        TestSupport::AppServerProcess app(ftpSettings(ip));
        SilentServer appSilent(ip, 0);
        bool shownWhileWaiting = false;
        QTimer::singleShot(300, [&] {
            ASSERT_TRUE(frmCtrlArqXMLNFe && frmCtrlArqXMLNFe->subWindow());
            shownWhileWaiting = frmCtrlArqXMLNFe->subWindow()->isVisible();
            frmCtrlArqXMLNFe->subWindow()->close();
        });
        QElapsedTimer opening;
        opening.start();
        auto harness = std::make_unique<ScreenHarness>(silentAppServer ? ip : app.host(),
                                                       silentAppServer ? appSilent.port() : app.port());
        EXPECT_LT(opening.elapsed(), 5000);
        EXPECT_TRUE(shownWhileWaiting);  // on screen before the first reply
        QPointer<TfrmCtrlArqXMLNFe> screen = harness->form;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return screen.isNull();
        }, 5000));
        EXPECT_EQ(errorsOf(*harness->prompts), std::vector<std::string>{});
        if (screen.isNull())
            harness->form = nullptr;
        harness.reset();
    }
}

TEST(FtpWaitHook, TheHookIsServedEverySliceAndAThrowingHookEndsTheWaitAndTheSession)
{
    const std::string ip = loopbackOfThisTest("127.0.93.");
    SilentServer silent(ip, 0);
    Platform::TIdFTP ftp;
    ftp.Host = ip;
    ftp.Port = silent.port();
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    int calls = 0;
    ftp.OnWaiting = [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
        if (++calls == 20)
            throw Platform::WaitCancelled();
    };
    EXPECT_THROW(ftp.Connect(), Platform::WaitCancelled);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_LT(longest, 25);
    EXPECT_FALSE(ftp.Connected());
}
