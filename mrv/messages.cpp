#include "mrv/messages.h"

#include "mrv/application.h"

#include <stdexcept>

namespace Mrv {

TMessages::TMessages(QObject* owner) : QObject(owner) {}

void TMessages::SetLines(const std::vector<std::string>& lines)
{
    lines_ = lines;
    byKey_.clear();
    for (const auto& line : lines_) {
        const auto bar = line.find('|');
        if (bar == std::string::npos)
            continue;
        byKey_.emplace(line.substr(0, bar), line.substr(bar + 1));  // the first line of a key wins
    }
}

const std::vector<std::string>& TMessages::Lines() const { return lines_; }

std::string TMessages::Msg(const std::string& key) const
{
    const auto it = byKey_.find(key);
    if (it == byKey_.end())
        throw std::out_of_range("Mensagem '" + key + "' não encontrada.");
    return it->second;
}

int TMessages::ShowMsg(const std::string& key, DialogType type, int /*helpContext*/) const
{
    return static_cast<int>(prompts().ask(Application::instance().title(), Msg(key), type));
}

} // namespace Mrv
