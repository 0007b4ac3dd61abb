#pragma once

#include <QMainWindow>
#include <QPointer>

#include <string>
#include <vector>

class QMdiArea;

namespace Mrv {
class ScriptedPrompts;
}
namespace Cli_Vop31600 {
class TfrmCtrlArqXMLNFe;
}

// The real screen inside a real MDI window, headless, with every prompt answered from queues: what a
// benchmark drives in place of a user. One session per process.
namespace BenchSupport {

class ScreenSession {
public:
    // The application server the screen reads its FTP settings from.
    ScreenSession(const std::string& appHost, int appPort);
    ~ScreenSession();
    ScreenSession(const ScreenSession&) = delete;
    ScreenSession& operator=(const ScreenSession&) = delete;

    // Opens the screen as the host's menu does and returns it; throws when it reported an error.
    Cli_Vop31600::TfrmCtrlArqXMLNFe& open();
    // Closes the screen (no transfer may run) and waits until it is gone.
    void close();

    Mrv::ScriptedPrompts& prompts() { return *prompts_; }
    // Errors shown and prompts that found no queued answer, one text each.
    std::vector<std::string> problems() const;

private:
    QMainWindow window_;
    QMdiArea* area_;
    Mrv::ScriptedPrompts* prompts_ = nullptr;  // owned by the prompts seam
    QPointer<Cli_Vop31600::TfrmCtrlArqXMLNFe> form_;
};

// Makes the grid row with that name current, as a user's click on it does; throws when none.
void selectRowNamed(Cli_Vop31600::TfrmCtrlArqXMLNFe& form, const std::string& name);

// "HOST:PORT" split; throws on anything else.
std::pair<std::string, int> splitHostPort(const std::string& text);

} // namespace BenchSupport
