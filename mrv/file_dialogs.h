#pragma once

#include "mrv/prompts.h"
#include "mrv_export.h"

#include <QObject>

#include <string>
#include <vector>

namespace Mrv {

// Save and open dialogs as components of a form: they keep their options and the last choice,
// and show themselves through the prompts seam. Execute runs on the GUI thread only.
class MRV_API TSaveDialog : public QObject {
    Q_OBJECT
public:
    explicit TSaveDialog(QObject* owner = nullptr);
    std::string Filter;
    std::string FileName;
    bool OverwritePrompt = true;
    bool Execute();
};

class MRV_API TOpenDialog : public QObject {
    Q_OBJECT
public:
    explicit TOpenDialog(QObject* owner = nullptr);
    std::string Filter;
    std::string FileName;            // the first entry of the selection
    std::vector<std::string> Files;  // the whole selection, in order
    bool AllowMultiSelect = true;
    bool Execute();
};

} // namespace Mrv
