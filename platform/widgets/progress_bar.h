#pragma once

#include "platform/common/platform_export.h"

#include <QProgressBar>

#include <cstdint>

namespace Platform {

// A progress bar whose range and position are 64-bit (files of several GiB); the widget itself
// counts in int, so large values are scaled down for display only.
class PLATFORM_API TProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit TProgressBar(QWidget* parent = nullptr);

    std::int64_t Max() const;
    std::int64_t Position() const;
    void SetMax(std::int64_t max);
    void SetPosition(std::int64_t position);

private:
    void apply();

    std::int64_t max_ = 100;
    std::int64_t position_ = 0;
};

} // namespace Platform
