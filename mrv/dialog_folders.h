#pragma once

#include "mrv_export.h"

#include <QString>

#include <array>

namespace Mrv {

// Where the file dialogs open: first in the user's Documents folder (home when there is none), never
// in the process's working directory; then, while the program runs, in the folder where that kind of
// dialog was last used. GUI thread only.
class MRV_API DialogFolders {
public:
    enum class Kind { Save, Open };

    struct Start {
        QString directory;  // the folder shown
        QString selection;  // the offered file inside it (empty when none was offered)
    };

    // The folder a dialog of that kind opens in.
    QString folder(Kind kind) const;
    // Where a dialog of that kind starts for a file name offered by the caller: a bare (or relative)
    // name is joined to folder(kind); a full path wins, and its own folder is shown.
    Start start(Kind kind, const QString& offered) const;
    // The user chose `chosenPath` in a dialog of that kind: its folder is where the next one opens.
    void remember(Kind kind, const QString& chosenPath);

private:
    std::array<QString, 2> last_;
};

// The user's Documents folder when it exists, else the home folder.
MRV_API QString documentsFolder();

} // namespace Mrv
