#include "mrv/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace Mrv {

namespace {

const char* const translatorName = "mrv-qtbase";

bool loadFor(QTranslator& translator, const QLocale& locale)
{
    return translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

} // namespace

bool installQtTranslations(const QLocale& locale)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    if (app->findChild<QTranslator*>(QLatin1String(translatorName), Qt::FindDirectChildrenOnly))
        return true;
    auto translator = std::make_unique<QTranslator>();
    if (!loadFor(*translator, locale) && !loadFor(*translator, QLocale(QLocale::Portuguese, QLocale::Brazil)))
        return false;
    translator->setObjectName(QLatin1String(translatorName));
    // Owned by the application, so that it lives exactly as long as the texts it translates.
    translator->setParent(app);
    return QCoreApplication::installTranslator(translator.release());
}

} // namespace Mrv
