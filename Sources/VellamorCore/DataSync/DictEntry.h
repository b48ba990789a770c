#pragma once

#include "DataSync/JsonDateReader.h"
#include "Networking/FlexibleDate.h"
#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

namespace vellamor {

// One personal dictionary entry as the data-sync client hands it out,
// cached and sent in "dictionary.sync" answers under the keys "id", "term",
// "replacement", "note", "createdAt" and "updatedAt" (all required). A
// positive id is the server's; a negative one marks an entry so far kept
// only in the local cache.
struct DictEntry {
    qint64 id = 0;
    QString term;
    QString replacement;
    QString note;
    Date createdAt;
    Date updatedAt;

    // Times in whole UTC seconds ("2026-03-01T08:15:42Z").
    QJsonValue toJson() const;
    static DictEntry fromJson(const QJsonValue& value, const QString& path,
                              JsonDateReader readDate = decodeFlexibleDate);

    friend bool operator==(const DictEntry&, const DictEntry&) = default;
};

} // namespace vellamor
