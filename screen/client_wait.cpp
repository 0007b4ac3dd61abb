// Waiting without freezing: while the screen's own FTP, HTTP and application-server clients wait for
// a reply, the window keeps painting. User input is not served (the screen's commands wait their
// turn), worker calls are held back until the wait ends, and a close ends the wait first.
#include "screen/ctrl_arq_xml_nfe.h"

#include "mrv/application.h"
#include "mrv/consiste.h"
#include "mrv/net_connection.h"
#include "platform/ftp/id_ftp.h"
#include "platform/http/id_http.h"

#include <QCoreApplication>
#include <QMdiSubWindow>
#include <QPointer>

namespace Cli_Vop31600 {

Platform::WaitHook TfrmCtrlArqXMLNFe::waitHook()
{
    return [this] { serveWhileWaiting(); };
}

void TfrmCtrlArqXMLNFe::installWaitHooks()
{
    IdFTP->OnWaiting = waitHook();
    IdHTTP->OnWaiting = waitHook();
    netCtrlArqXMLNFe->OnWaiting = waitHook();
}

void TfrmCtrlArqXMLNFe::serveWhileWaiting()
{
    if (closeDuringWait_)
        throw Platform::WaitCancelled();
    {
        Platform::GuiWaitScope holdWorkerCalls;
        struct Nesting {
            int& depth;
            explicit Nesting(int& d) : depth(d) { ++depth; }
            ~Nesting() { --depth; }
        } nesting(clientWaits_);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    if (closeDuringWait_)
        throw Platform::WaitCancelled();
}

bool TfrmCtrlArqXMLNFe::refuseCloseDuringWait()
{
    if (clientWaits_ == 0 && !closeDuringWait_)
        return false;
    // The close must not use the client under the wait: the wait ends first, then the close is
    // asked again from the event loop.
    if (!closeDuringWait_) {
        closeDuringWait_ = true;
        Platform::runOutsideGuiWaits([screen = QPointer<TfrmCtrlArqXMLNFe>(this)] {
            if (!screen)
                return;
            screen->closeDuringWait_ = false;
            if (screen->subWindow())
                screen->subWindow()->close();
            else
                screen->close();
        });
    }
    return true;
}

void TfrmCtrlArqXMLNFe::runGuarded(const std::function<void()>& handler)
{
    Mrv::Application::instance().guarded([&] {
        try {
            handler();
        } catch (const Platform::WaitCancelled&) {
            if (!closeDuringWait_)
                throw;
        }
    });
}

void TfrmCtrlArqXMLNFe::reportUnlessClosing(const std::exception& error)
{
    if (closeDuringWait_ && dynamic_cast<const Platform::WaitCancelled*>(&error))
        return;
    Consiste::MensErro(error);
}

} // namespace Cli_Vop31600
