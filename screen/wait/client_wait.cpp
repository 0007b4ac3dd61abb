#include "screen/wait/client_wait.h"

#include "mrv/application.h"
#include "mrv/consiste.h"
#include "mrv/rotigeral.h"

#include <QCoreApplication>
#include <QMdiSubWindow>
#include <QPointer>

namespace Cli_Vop31600 {

ClientWait::ClientWait(Mrv::TfrmRotiGeral& screen) : screen_(screen) {}

Platform::WaitHook ClientWait::hook()
{
    return [this] { serve(); };
}

void ClientWait::serve()
{
    if (closeRequested_)
        throw Platform::WaitCancelled();
    {
        Platform::GuiWaitScope holdWorkerCalls;
        struct Nesting {
            int& depth;
            explicit Nesting(int& d) : depth(d) { ++depth; }
            ~Nesting() { --depth; }
        } nesting(depth_);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    if (closeRequested_)
        throw Platform::WaitCancelled();
}

bool ClientWait::refuseClose()
{
    if (depth_ == 0 && !closeRequested_)
        return false;
    if (!closeRequested_) {
        closeRequested_ = true;
        // The wait belongs to the screen: while the screen lives, so does this.
        Platform::runOutsideGuiWaits([this, screen = QPointer<Mrv::TfrmRotiGeral>(&screen_)] {
            if (!screen)
                return;
            closeRequested_ = false;
            if (screen->subWindow())
                screen->subWindow()->close();
            else
                screen->close();
        });
    }
    return true;
}

void ClientWait::runGuarded(const std::function<void()>& handler)
{
    Mrv::Application::instance().guarded([&] {
        try {
            handler();
        } catch (const Platform::WaitCancelled&) {
            if (!closeRequested_)
                throw;
        }
    });
}

void ClientWait::reportUnlessClosing(const std::exception& error)
{
    if (closeRequested_ && dynamic_cast<const Platform::WaitCancelled*>(&error))
        return;
    Consiste::MensErro(error);
}

} // namespace Cli_Vop31600
