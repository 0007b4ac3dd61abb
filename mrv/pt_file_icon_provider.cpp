#include "mrv/pt_file_icon_provider.h"

#include <QFileInfo>

namespace Mrv {

QString PtFileIconProvider::type(const QFileInfo& info) const
{
    if (info.isFile())
        return QFileIconProvider::type(info);
    if (info.isRoot())
        return QStringLiteral("Unidade");
    if (info.isDir())
        return QStringLiteral("Pasta");
    if (info.isSymLink())
        return QStringLiteral("Atalho");
    return QStringLiteral("Desconhecido");
}

} // namespace Mrv
