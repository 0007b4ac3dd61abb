#pragma once

#include "platform/common/wait_hook.h"

#include <exception>
#include <functional>

namespace Mrv {
class TfrmRotiGeral;
}

namespace Cli_Vop31600 {

// Waiting without freezing: while the screen's own FTP, HTTP and application-server clients wait for
// a reply, the window keeps painting. User input is not served (the screen's commands wait their
// turn), worker calls are held back until the wait ends, and a close ends the wait first.
class ClientWait {
public:
    explicit ClientWait(Mrv::TfrmRotiGeral& screen);
    ClientWait(const ClientWait&) = delete;
    ClientWait& operator=(const ClientWait&) = delete;

    // What the screen's clients serve while they wait: paint and timer events, never user input.
    // Throws Platform::WaitCancelled once a close came during the wait.
    Platform::WaitHook hook();
    // True while one of the screen's clients waits and events are served meanwhile.
    bool waiting() const { return depth_ > 0; }
    // A close must not use the client under a wait: the wait ends first, then the close is asked
    // again from the event loop. True when this close has to wait so.
    bool refuseClose();
    // Runs a handler as the application does, silent about a wait that the screen's close ended.
    void runGuarded(const std::function<void()>& handler);
    // Reports the error, unless it is the end of a wait that the screen's close asked for.
    void reportUnlessClosing(const std::exception& error);

private:
    void serve();

    Mrv::TfrmRotiGeral& screen_;
    int depth_ = 0;                // nested event serving inside the clients' waits
    bool closeRequested_ = false;  // a close came during a wait: every wait ends until it is done
};

} // namespace Cli_Vop31600
