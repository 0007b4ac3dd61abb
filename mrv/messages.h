#pragma once

#include "mrv/prompts.h"
#include "mrv_export.h"

#include <QObject>

#include <string>
#include <unordered_map>
#include <vector>

namespace Mrv {

// A form's keyed message table: each line is a key, "|" and the text.
class MRV_API TMessages : public QObject {
    Q_OBJECT
public:
    explicit TMessages(QObject* owner = nullptr);

    void SetLines(const std::vector<std::string>& lines);
    const std::vector<std::string>& Lines() const;

    // The text of the line with that key; throws std::out_of_range naming the key when there is none.
    std::string Msg(const std::string& key) const;

    // Shows the text modally and returns the modal result (6 is Yes).
    int ShowMsg(const std::string& key, DialogType type, int helpContext = 0) const;

private:
    std::vector<std::string> lines_;
    std::unordered_map<std::string, std::string> byKey_;
};

} // namespace Mrv
