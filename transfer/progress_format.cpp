#include "transfer/progress_format.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <cstdio>

namespace Cli_Vop31601 {

bool averageSpeed(std::int64_t bytes, double seconds, double& kbPerSecond)
{
    if (!(seconds > 0))
        return false;
    kbPerSecond = static_cast<double>(bytes) / 1024.0 / seconds;
    return true;
}

std::string formatSpeed(double kbPerSecond, const QString& decimalSeparator)
{
    // to_chars ignores the C locale, so the separator is always '.' before it is replaced.
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, kbPerSecond, std::chars_format::fixed, 2).ptr;
    std::string text(buffer, end);
    if (const auto dot = text.find('.'); dot != std::string::npos)
        text.replace(dot, 1, decimalSeparator.toStdString());
    return text + " KB/s";
}

std::string formatElapsed(double seconds, const QString& timeSeparator)
{
    const auto whole = static_cast<std::int64_t>(std::floor(std::max(seconds, 0.0))) % 86400;
    char buffer[32];
    const std::string sep = timeSeparator.toStdString();
    std::snprintf(buffer, sizeof buffer, "%02lld%s%02lld%s%02lld", static_cast<long long>(whole / 3600), sep.c_str(),
                  static_cast<long long>(whole / 60 % 60), sep.c_str(), static_cast<long long>(whole % 60));
    return buffer;
}

std::string formatMessage(const std::string& text, const std::vector<std::string>& arguments)
{
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            if (next < arguments.size())
                out += arguments[next];
            ++next;
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

QString localeDecimalSeparator() { return QLocale::system().decimalPoint(); }

QString localeTimeSeparator()
{
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    for (QChar c : format)
        if (!c.isLetter() && !c.isSpace())
            return QString(c);
    return QStringLiteral(":");
}

} // namespace Cli_Vop31601
