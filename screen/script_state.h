#pragma once

#include "mrv/scripted_screen.h"

namespace Cli_Vop31600 {

class TfrmCtrlArqXMLNFe;

// The screen's state for the host's script driver, registered with the host library for as long as
// the screen lives.
class ScreenScripting final : public Mrv::ScriptedScreen {
public:
    explicit ScreenScripting(const TfrmCtrlArqXMLNFe& form);
    ~ScreenScripting() override;
    ScreenScripting(const ScreenScripting&) = delete;
    ScreenScripting& operator=(const ScreenScripting&) = delete;

    QVariantMap scriptState() const override;
    QVariant detailsState() const override;
    bool transferRunning() const override;

private:
    const TfrmCtrlArqXMLNFe& form_;
};

} // namespace Cli_Vop31600
