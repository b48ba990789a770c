#pragma once

#include "FrontmostApp/DesktopEntry.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>

namespace vellamor {

// The applications installed in the XDG data folders, read again only when
// one of the folders changed. Any thread.
class DesktopEntryIndex {
public:
    // The "applications" folders of $XDG_DATA_HOME and $XDG_DATA_DIRS.
    DesktopEntryIndex();
    // Folders in precedence order: an id found in an earlier folder hides the
    // same id further on.
    explicit DesktopEntryIndex(QStringList folders);

    // In precedence order; within a folder by id. Hidden (deleted) entries
    // and entries of other types than Application are left out.
    QList<DesktopEntry> entries();

    // One file's entry, none when it is not a visible application.
    static std::optional<DesktopEntry> read(const QString& path, const QString& id);

private:
    // File times are too coarse to tell two changes within a few
    // milliseconds apart, so a folder's names count too.
    struct FolderStamp {
        QString path;
        QDateTime modified;
        QStringList names;
        friend bool operator==(const FolderStamp&, const FolderStamp&) = default;
    };

    QList<FolderStamp> stamps() const;
    void scan(QList<FolderStamp> current);

    QStringList folders_;
    std::mutex mutex_;
    QList<FolderStamp> stamps_;
    QList<DesktopEntry> entries_;
};

} // namespace vellamor
