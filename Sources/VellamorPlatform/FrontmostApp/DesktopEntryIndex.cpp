#include "FrontmostApp/DesktopEntryIndex.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>

namespace vellamor {

namespace {

// Every folder below `root` (itself included), sorted so that a scan and a
// later check visit them alike.
QStringList foldersBelow(const QString& root)
{
    QStringList folders;
    if (!QFileInfo(root).isDir())
        return folders;
    folders << root;
    QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        folders << it.next();
    std::sort(folders.begin() + 1, folders.end());
    return folders;
}

} // namespace

DesktopEntryIndex::DesktopEntryIndex()
    : DesktopEntryIndex(QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
{
}

DesktopEntryIndex::DesktopEntryIndex(QStringList folders)
    : folders_(std::move(folders))
{
}

QList<DesktopEntry> DesktopEntryIndex::entries()
{
    std::lock_guard lock(mutex_);
    // Every folder yields a stamp, even a missing one, so a fresh index's
    // empty list matches only when there is nothing to scan.
    QList<FolderStamp> current = stamps();
    if (current != stamps_)
        scan(std::move(current));
    return entries_;
}

QList<DesktopEntryIndex::FolderStamp> DesktopEntryIndex::stamps() const
{
    const auto stamp = [](const QString& folder) {
        return FolderStamp {folder, QFileInfo(folder).lastModified(),
                            QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)};
    };
    QList<FolderStamp> result;
    for (const QString& root : folders_) {
        // A missing folder counts too: its creation must be noticed.
        result.append(stamp(root));
        const QStringList below = foldersBelow(root);
        for (qsizetype i = 1; i < below.size(); ++i)
            result.append(stamp(below[i]));
    }
    return result;
}

void DesktopEntryIndex::scan(QList<FolderStamp> current)
{
    stamps_ = std::move(current);
    entries_.clear();
    QSet<QString> seen;
    for (const QString& root : folders_) {
        const QDir base(root);
        QList<std::pair<QString, QString>> files; // id, path
        for (const QString& folder : foldersBelow(root)) {
            const QFileInfoList infos = QDir(folder).entryInfoList({QStringLiteral("*.desktop")}, QDir::Files);
            for (const QFileInfo& info : infos) {
                QString relative = base.relativeFilePath(info.filePath());
                relative.chop(8); // ".desktop"
                files.append({relative.replace(QLatin1Char('/'), QLatin1Char('-')), info.filePath()});
            }
        }
        std::sort(files.begin(), files.end());
        for (const auto& [id, path] : files) {
            if (seen.contains(id))
                continue;
            // A hidden entry still hides the same id in later folders.
            seen.insert(id);
            if (auto entry = read(path, id))
                entries_.append(*entry);
        }
    }
}

std::optional<DesktopEntry> DesktopEntryIndex::read(const QString& path, const QString& id)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    DesktopEntry entry;
    entry.id = id;
    bool inMainGroup = false;
    bool hidden = false;
    QString type;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QStringLiteral("StartupWMClass"))
            entry.startupWMClass = value;
        else if (key == QStringLiteral("NoDisplay"))
            entry.noDisplay = value == QStringLiteral("true");
        else if (key == QStringLiteral("Hidden"))
            hidden = value == QStringLiteral("true");
        else if (key == QStringLiteral("Type"))
            type = value;
    }
    if (hidden || type != QStringLiteral("Application"))
        return std::nullopt;
    return entry;
}

} // namespace vellamor
