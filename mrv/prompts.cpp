#include "mrv/prompts.h"

#include "mrv/qt_prompts.h"

namespace Mrv {

namespace {

std::unique_ptr<Prompts>& installed()
{
    static std::unique_ptr<Prompts> current;
    return current;
}

} // namespace

Prompts& prompts()
{
    auto& current = installed();
    if (!current)
        current = std::make_unique<QtPrompts>();
    return *current;
}

void installPrompts(std::unique_ptr<Prompts> replacement) { installed() = std::move(replacement); }

} // namespace Mrv
