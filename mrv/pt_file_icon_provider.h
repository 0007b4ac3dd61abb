#pragma once

#include <QFileIconProvider>

namespace Mrv {

// The file dialog's "Tipo" column in Portuguese. Qt 6.4 names folders, drives and links in English
// whatever translation is installed (Debian's catalogue lacks those texts); files keep the MIME
// description, which Qt already gives in the user's language.
class PtFileIconProvider : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override;
};

} // namespace Mrv
