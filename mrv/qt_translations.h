#pragma once

#include "mrv_export.h"

#include <QLocale>

namespace Mrv {

// Installs Qt's own translations (qtbase: file dialogs, standard buttons, context menus) for the
// locale into the running application, from Qt's translations folder. When none exists for that
// locale the Brazilian ones are taken, as every text of ours is Portuguese. Installing twice is
// harmless. Needs a QCoreApplication; returns false when no translation could be loaded.
MRV_API bool installQtTranslations(const QLocale& locale = QLocale::system());

} // namespace Mrv
