#include "platform/dataset/text_fold.h"

#include <QString>

#include <algorithm>

namespace Platform::Detail {

void appendFolded(std::string_view text, std::string& out)
{
    // Most names are ASCII: those fold without leaving UTF-8.
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        for (char c : text)
            out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c);
        return;
    }
    const QString decomposed = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                                   .normalized(QString::NormalizationForm_D);
    QString kept;
    kept.reserve(decomposed.size());
    for (QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining
            && category != QChar::Mark_Enclosing)
            kept.append(c);
    }
    out += kept.toCaseFolded().toStdString();
}

} // namespace Platform::Detail
