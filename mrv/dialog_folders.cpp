#include "mrv/dialog_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace Mrv {

namespace {

std::size_t slot(DialogFolders::Kind kind) { return kind == DialogFolders::Kind::Save ? 0 : 1; }

} // namespace

QString documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString DialogFolders::folder(Kind kind) const
{
    // A folder removed since it was used is not offered again.
    const QString& last = last_[slot(kind)];
    return !last.isEmpty() && QFileInfo(last).isDir() ? last : documentsFolder();
}

DialogFolders::Start DialogFolders::start(Kind kind, const QString& offered) const
{
    if (offered.isEmpty())
        return {folder(kind), {}};
    if (QDir::isAbsolutePath(offered))
        return {QFileInfo(offered).absolutePath(), QDir::cleanPath(offered)};
    const QString directory = folder(kind);
    return {directory, QDir(directory).filePath(offered)};
}

void DialogFolders::remember(Kind kind, const QString& chosenPath)
{
    if (!chosenPath.isEmpty())
        last_[slot(kind)] = QFileInfo(chosenPath).absolutePath();
}

} // namespace Mrv
