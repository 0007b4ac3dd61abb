#include "nfe/access_key.h"

namespace Nfe {
namespace {

bool allDigits(QStringView text)
{
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

} // namespace

int keyCheckDigit(QStringView first43)
{
    int sum = 0;
    int weight = 2;
    for (auto it = first43.rbegin(); it != first43.rend(); ++it) {
        sum += (it->unicode() - u'0') * weight;
        weight = weight == 9 ? 2 : weight + 1;
    }
    const int rest = sum % 11;
    return rest < 2 ? 0 : 11 - rest;
}

bool keyIsValid(const QString& key)
{
    if (key.size() != kKeyLength || !allDigits(key))
        return false;
    return keyCheckDigit(QStringView(key).first(kKeyLength - 1)) == key.back().unicode() - u'0';
}

QString groupKey(const QString& key)
{
    if (key.size() != kKeyLength || !allDigits(key))
        return key;
    QString grouped;
    for (int i = 0; i < kKeyLength; i += 4) {
        if (i)
            grouped += u' ';
        grouped += QStringView(key).mid(i, 4);
    }
    return grouped;
}

std::optional<QString> keyInName(const QString& name)
{
    int start = -1;
    for (int i = 0; i <= name.size(); ++i) {
        const bool digit = i < name.size() && name[i] >= u'0' && name[i] <= u'9';
        if (digit && start < 0)
            start = i;
        if (!digit && start >= 0) {
            if (i - start == kKeyLength)
                return name.mid(start, kKeyLength);
            start = -1;
        }
    }
    return std::nullopt;
}

} // namespace Nfe
