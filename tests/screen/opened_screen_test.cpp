// The screen opened against the real application server and FTP server: what a complete opening
// leaves on screen, New directory names at the edges, and the file dialogs as the user gets them.
#include "tests/screen/screen_harness.h"
#include "tests/support/appserver_fixture.h"
#include "tests/support/ftp_fixture.h"

#include "platform/widgets/progress_bar.h"
#include "platform/widgets/status_bar.h"

#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>

using namespace Cli_Vop31600;
namespace fs = std::filesystem;

namespace {

std::string ftpHostOfThisTest() { return loopbackOfThisTest("127.0.91."); }

// A store at the root: one protected directory and a file; organisation "0" makes "/" home.
struct Store {
    Store()
    {
        fs::create_directories(dir / "store/TMPFTP");
        std::ofstream(dir / "store/leia-me.txt") << "raiz";
    }
    std::string path() const { return dir / "store"; }
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(path()))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
    TestSupport::ScratchDir dir{"vop-opened"};
};

class OpenedScreen : public ::testing::Test {
protected:
    std::vector<std::string> errors() const
    {
        std::vector<std::string> texts;
        for (const auto& prompt : harness.prompts->transcript())
            if (prompt.kind == "error")
                texts.push_back(prompt.text);
        return texts;
    }

    const std::string ftpHost = ftpHostOfThisTest();
    Store store;
    TestSupport::FtpFixture ftp{[this] {
        TestSupport::FtpFixtureOptions options;
        options.host = ftpHost;
        options.root = store.path();
        return options;
    }()};
    TestSupport::AppServerProcess app{"INSERT INTO ftp_data VALUES ('S','" + ftpHost + "','user','senha','0');"
                                      "INSERT INTO local_cache VALUES ('', '');"};
    ScreenHarness harness{app.host(), app.port()};
    TfrmCtrlArqXMLNFe* form = harness.form;
};

// The bounding box of the pixels that pass `keep`.
template <typename Keep>
QRect boxOf(const QImage& image, Keep keep)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (keep(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

TEST_F(OpenedScreen, ACompleteOpeningCoversTheFirstPanelWithTheProgressBarAndLightsTheLamp)
{
    ASSERT_EQ(errors(), std::vector<std::string>{});
    ASSERT_EQ(form->edtDiretorio->text(), "/");
    QApplication::processEvents();
    EXPECT_EQ(form->ProgressBar->parentWidget(), form->StatusBar);
    EXPECT_EQ(form->ProgressBar->geometry(), QRect(1, 2, 199, 17));
    EXPECT_LT(form->ProgressBar->geometry().right(), form->StatusBar->Panel(1)->geometry().left());

    // The green lamp, drawn two pixels in from the panel's left and one above its top.
    ASSERT_EQ(form->scripting.scriptState().value("lamp").toInt(), 1);
    const QImage lamp = form->ImageList[1].toImage().convertToFormat(QImage::Format_ARGB32);
    const QRect expected = boxOf(lamp, [](QRgb p) { return qAlpha(p) > 128; }).translated(2, -1);
    QWidget* panel = form->StatusBar->Panel(2);
    const QImage drawn = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QColor background = drawn.pixelColor(drawn.width() - 1, drawn.height() - 1);
    const QRect painted = boxOf(drawn, [&](QRgb p) {
        return std::abs(qRed(p) - background.red()) + std::abs(qGreen(p) - background.green())
                   + std::abs(qBlue(p) - background.blue()) > 60;
    });
    // Antialiasing blurs the edges alike on every side: the centres tell the position.
    EXPECT_EQ(QRectF(painted).center(), QRectF(expected).center());
}

TEST_F(OpenedScreen, NewDirectoryTakesANameOfSpacesAsTypedAndRefusesALineBreak)
{
    // Not trimmed and not empty: the server gets the name of three spaces.
    harness.prompts->queueInput("   ");
    form->btnNovoDirClick(nullptr);
    EXPECT_EQ(errors(), std::vector<std::string>{});
    EXPECT_EQ(store.names(), (std::vector<std::string>{"   ", "TMPFTP", "leia-me.txt"}));

    // A line break would end the command and start another: refused before anything is sent.
    harness.prompts->queueInput("nova\r\nRMD TMPFTP");
    form->btnNovoDirClick(nullptr);
    EXPECT_EQ(errors(), std::vector<std::string>{"O nome não pode conter quebras de linha."});
    EXPECT_EQ(store.names(), (std::vector<std::string>{"   ", "TMPFTP", "leia-me.txt"}));
}

TEST(FileDialogs, BothOfferEveryFileTheSaveAsksBeforeOverwritingTheOpenTakesSeveral)
{
    ScreenHarness screen;
    Mrv::installPrompts(nullptr);  // the Qt dialogs the user gets
    std::vector<QFileDialog*> seen;
    auto answerNextDialog = [&] {
        auto* poll = new QTimer(screen.form);
        QObject::connect(poll, &QTimer::timeout, poll, [&seen, poll] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                poll->stop();
                seen.push_back(dialog);
                EXPECT_EQ(dialog->nameFilters(), QStringList{"Todos os arquivos (*.*)"});
                EXPECT_NE(dialog->minimumSize(), dialog->maximumSize());  // can be resized
                if (dialog->acceptMode() == QFileDialog::AcceptSave)
                    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
                else
                    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
                dialog->reject();
                poll->deleteLater();
            }
        });
        poll->start(10);
    };
    answerNextDialog();
    EXPECT_FALSE(screen.form->savDownload->Execute());
    answerNextDialog();
    EXPECT_FALSE(screen.form->opdUpload->Execute());
    EXPECT_EQ(seen.size(), 2u);
}
