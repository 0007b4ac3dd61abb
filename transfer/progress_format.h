#pragma once

#include <QChar>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace Cli_Vop31601 {

// Average speed in KB per second (1 KB = 1024 bytes) over the true elapsed seconds; nothing when no
// time has passed yet.
bool averageSpeed(std::int64_t bytes, double seconds, double& kbPerSecond);

// "409,60 KB/s": two decimals, no grouping, the locale's decimal separator.
std::string formatSpeed(double kbPerSecond, const QString& decimalSeparator);
// "00:01:15": hours, minutes and seconds of the time of day (a day or more starts again at 0).
std::string formatElapsed(double seconds, const QString& timeSeparator);

// Fills the "%s" placeholders of a message text in order.
std::string formatMessage(const std::string& text, const std::vector<std::string>& arguments);

// The user's locale's separators.
QString localeDecimalSeparator();
QString localeTimeSeparator();

} // namespace Cli_Vop31601
