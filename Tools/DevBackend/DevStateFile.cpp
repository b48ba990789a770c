#include "DevStateFile.h"

#include "DevServer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSaveFile>

namespace vellamor::devbackend
{

namespace
{

constexpr int formatVersion = 1;

} // namespace

DevStateFile::DevStateFile(DevServer& server, QString path, Console console)
    : QObject(&server)
    , server_(server)
    , path_(std::move(path))
    , console_(std::move(console))
{
    connect(&server_, &DevServer::stateChanged, this, [this] {
        if (saving_)
            save();
    });
}

void DevStateFile::load()
{
    QFile file(path_);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            setAside(file.errorString());
        } else if (const QString damage = restore(file.readAll()); !damage.isEmpty()) {
            file.close();
            setAside(damage);
        }
    }
    saving_ = true;
}

QString DevStateFile::restore(const QByteArray& content)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(content, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("not JSON (%1 at byte %2)").arg(error.errorString()).arg(error.offset);
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value(QStringLiteral("format")).toInt() != formatVersion
        || !root.value(QStringLiteral("parts")).isObject())
        return QStringLiteral("not a state of format %1").arg(formatVersion);
    const QJsonObject parts = root.value(QStringLiteral("parts")).toObject();
    QString damage;
    for (auto part = server_.stateParts().constBegin(); part != server_.stateParts().constEnd(); ++part) {
        const QJsonValue saved = parts.value(part.key());
        if (!saved.isObject() && !saved.isUndefined()) {
            damage = QStringLiteral("part \"%1\" is not an object").arg(part.key());
            break;
        }
        if (!part->restore(saved.toObject())) {
            damage = QStringLiteral("part \"%1\" does not read back").arg(part.key());
            break;
        }
    }
    if (!damage.isEmpty()) {
        // Nothing of a half-read file stays.
        for (const DevServer::StatePart& part : server_.stateParts())
            part.restore(QJsonObject());
    }
    return damage;
}

void DevStateFile::setAside(const QString& reason)
{
    const QString aside = path_ + QStringLiteral(".damaged-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (QFile::rename(path_, aside)) {
        console_(QStringLiteral("devserver: the state file %1 cannot be read (%2); set aside as %3, starting empty")
                     .arg(path_, reason, aside));
    } else {
        console_(QStringLiteral("devserver: the state file %1 cannot be read (%2) nor set aside; starting empty, "
                                "it is overwritten on the first change")
                     .arg(path_, reason));
    }
}

bool DevStateFile::save()
{
    QJsonObject parts;
    for (auto part = server_.stateParts().constBegin(); part != server_.stateParts().constEnd(); ++part)
        parts.insert(part.key(), part->save());
    const QByteArray content
        = QJsonDocument(QJsonObject { { QStringLiteral("format"), formatVersion }, { QStringLiteral("parts"), parts } })
              .toJson(QJsonDocument::Compact);

    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile file(path_);
    // Passwords and sessions: for the user's eyes only, from before the
    // temporary file takes the state file's name. An uncommitted file is
    // discarded.
    if (file.open(QIODevice::WriteOnly) && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        console_(QStringLiteral("devserver: cannot make the state file %1 readable by its owner only (%2); not written")
                     .arg(path_, file.errorString()));
        return false;
    }
    if (file.isOpen() && file.write(content) == content.size() && file.commit())
        return true;
    console_(QStringLiteral("devserver: cannot write the state file %1: %2").arg(path_, file.errorString()));
    return false;
}

} // namespace vellamor::devbackend
