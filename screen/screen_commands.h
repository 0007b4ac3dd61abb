#pragma once

#include "screen/glyphs.h"

#include <QKeySequence>

#include <span>

class QAction;
class QObject;

namespace Mrv {
class TButtonFlat;
}

namespace Cli_Vop31600 {

class TfrmCtrlArqXMLNFe;

enum class CommandPlace {
    DirectoryBar,  // a 25x25 button in the directory bar, laid out left to right
    ButtonColumn,  // a 52x21 button in the base form's column, at its own top
};

// One command of the screen: its button, its action and shortcut, its hint and what it runs. The
// button and the action each run the handler on their own (they are not linked), so a shortcut
// still fires while its button is disabled.
struct ScreenCommand {
    Mrv::TButtonFlat* TfrmCtrlArqXMLNFe::*button;  // null: a keyboard or menu command without a button
    const char* buttonName;
    QAction* TfrmCtrlArqXMLNFe::*action;
    const char* actionName;
    QKeySequence shortcut;          // empty: no shortcut
    const char* label;              // the hint is "label (keys)"
    const char* hintKeys;           // the keys the hint names when they differ from the shortcut
    Glyph glyph;
    int tag;
    CommandPlace place;
    int top;                        // ButtonColumn only
    void (TfrmCtrlArqXMLNFe::*handler)(QObject*);
    bool actionRunsHandler;
};

std::span<const ScreenCommand> screenCommands();

// "Home (Ctrl+H)": the label and the keys of the shortcut (or the keys the design names).
QString commandHint(const ScreenCommand& command);

} // namespace Cli_Vop31600
