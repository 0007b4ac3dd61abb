#include "screen/trust/trust_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace Cli_Vop31600 {

namespace {

QJsonObject readAll(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A file larger than any real list of servers is not ours to trust.
    if (file.size() > (1 << 20))
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    return document.isObject() ? document.object().value(QStringLiteral("servers")).toObject() : QJsonObject();
}

} // namespace

TrustStore::TrustStore()
    : TrustStore(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString()
                 + "/vop31600/trusted_servers.json")
{
}

TrustStore::TrustStore(std::string path) : path_(std::move(path)) {}

std::optional<TrustStore::Entry> TrustStore::find(const std::string& hostPort) const
{
    const QJsonValue value = readAll(path_).value(QString::fromStdString(hostPort));
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    Entry entry;
    entry.fingerprint = object.value(QStringLiteral("fingerprint")).toString().toStdString();
    entry.tlsSeen = object.value(QStringLiteral("tls")).toBool();
    return entry;
}

bool TrustStore::store(const std::string& hostPort, const Entry& entry)
{
    QJsonObject servers = readAll(path_);
    servers.insert(QString::fromStdString(hostPort),
                   QJsonObject{{QStringLiteral("fingerprint"), QString::fromStdString(entry.fingerprint)},
                               {QStringLiteral("tls"), entry.tlsSeen}});
    const QString file = QString::fromStdString(path_);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray bytes = QJsonDocument(QJsonObject{{QStringLiteral("servers"), servers}}).toJson();
    return out.write(bytes) == bytes.size() && out.commit();
}

} // namespace Cli_Vop31600
