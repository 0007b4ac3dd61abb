#include "platform/widgets/progress_bar.h"

#include <algorithm>
#include <limits>

namespace Platform {

TProgressBar::TProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setTextVisible(false);
    apply();
}

std::int64_t TProgressBar::Max() const { return max_; }

std::int64_t TProgressBar::Position() const { return position_; }

void TProgressBar::SetMax(std::int64_t max)
{
    max_ = std::max<std::int64_t>(max, 0);
    apply();
}

void TProgressBar::SetPosition(std::int64_t position)
{
    position_ = position;
    apply();
}

void TProgressBar::apply()
{
    constexpr std::int64_t intMax = std::numeric_limits<int>::max();
    const std::int64_t scale = max_ > intMax ? max_ / intMax + 1 : 1;
    setRange(0, static_cast<int>(max_ / scale));
    setValue(static_cast<int>(std::clamp<std::int64_t>(position_, 0, max_) / scale));
}

} // namespace Platform
