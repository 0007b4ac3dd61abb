#pragma once

namespace Cli_Vop31600 {

class TfrmCtrlArqXMLNFe;

// The screen's design: its widgets, command buttons, actions and clients, as the form is created.
void designScreen(TfrmCtrlArqXMLNFe& form);
// Binds the design's signals and events to the form's handlers, each run guarded as the
// application runs handlers.
void bindScreen(TfrmCtrlArqXMLNFe& form);

} // namespace Cli_Vop31600
