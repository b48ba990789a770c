#pragma once

#include "History/HistoryRecord.h"
#include "Logging/VellamorLog.h"

#include <QString>

#include <functional>
#include <optional>

namespace vellamor {

// Moves the plain JSON history of earlier versions into the encrypted
// history of the first account that signs in on this machine, once, and
// parks the file where it is never read again.
//
// Files under the root: "history.json" (an array of records, dates as
// internet date-times), the folder "legacy" with the parked
// "legacy/history.json" and the empty marker "legacy/.migrated-history".
// The marker is machine-wide: once any account has imported, none will.
class LegacyJSONMigrator {
public:
    LegacyJSONMigrator() = delete;

    using Importer = std::function<void(const HistoryRecord& record)>;

    // `appSupportRoot` none: SQLiteAccountStore::defaultBaseDirectory().
    // `importer` is called synchronously for each record in file order, and
    // only once the whole file decoded: one bad element skips the content.
    // Never throws. Only a folder that cannot be made leaves no marker, so
    // the next call tries again; a file that cannot be read or decoded is
    // parked all the same. The file is removed from the root only once it
    // is safe in the legacy folder: when it can be neither moved nor copied
    // it stays where it is, behind the marker.
    static void runIfNeeded(const std::optional<QString>& appSupportRoot, const Importer& importer,
                            const VellamorLog& log = defaultLog());

    // Subsystem "com.vellamor.app", category "legacy-migrator".
    static VellamorLog defaultLog();
};

} // namespace vellamor
