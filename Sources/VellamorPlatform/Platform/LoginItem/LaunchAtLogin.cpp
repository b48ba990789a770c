#include "Platform/LoginItem/LaunchAtLogin.h"

#include "Storage/FileSystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace vellamor {

namespace {

// The key of the entry's main group that turns an autostart entry off.
bool isHidden(const QByteArray& entry)
{
    bool inMainGroup = false;
    for (const QByteArray& rawLine : entry.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('['))
            inMainGroup = line == "[Desktop Entry]";
        else if (inMainGroup && line.startsWith("Hidden") && line.mid(6).trimmed().startsWith('='))
            return line.mid(line.indexOf('=') + 1).trimmed() == "true";
    }
    return false;
}

} // namespace

LaunchAtLogin::LaunchAtLogin(QString autostartEntry, QString installedEntry)
    : autostartEntry_(std::move(autostartEntry))
    , installedEntry_(std::move(installedEntry))
{
}

LaunchAtLogin LaunchAtLogin::standard(const QProcessEnvironment& environment)
{
    QString configHome = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = environment.value(QStringLiteral("HOME"), QDir::homePath()) + QStringLiteral("/.config");
    QString installed = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                               QStringLiteral("applications/") + entryName());
    if (installed.isEmpty())
        installed = QStringLiteral(":/desktop/") + entryName();
    return LaunchAtLogin(configHome + QStringLiteral("/autostart/") + entryName(), installed);
}

bool LaunchAtLogin::isEnabled() const
{
    QFile entry(autostartEntry_);
    if (!entry.open(QIODevice::ReadOnly))
        return false;
    return !isHidden(entry.readAll());
}

void LaunchAtLogin::setEnabled(bool enabled)
{
    if (enabled == isEnabled())
        return;
    if (!enabled) {
        QFile entry(autostartEntry_);
        if (!entry.remove())
            throw FileSystemError(FileSystemError::Kind::removeFailed, autostartEntry_, entry.errorString());
        return;
    }
    QFile source(installedEntry_);
    if (!source.open(QIODevice::ReadOnly))
        throw FileSystemError(FileSystemError::Kind::readFailed, installedEntry_, source.errorString());
    const QByteArray contents = source.readAll();
    const QString folder = QFileInfo(autostartEntry_).absolutePath();
    if (!QDir().mkpath(folder))
        throw FileSystemError(FileSystemError::Kind::createFolderFailed, folder, QStringLiteral("cannot create"));
    // A hidden entry left by the desktop is replaced whole.
    QSaveFile copy(autostartEntry_);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(contents) != contents.size() || !copy.commit())
        throw FileSystemError(FileSystemError::Kind::writeFailed, autostartEntry_, copy.errorString());
}

} // namespace vellamor
