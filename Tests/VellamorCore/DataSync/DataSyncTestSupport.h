#pragma once

#include "DataSync/DataSyncAPI.h"
#include "Support/Async/RunBlocking.h"

#include "../Networking/NetworkingTestPrinters.h"
#include "ErrorOf.h"
#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "RecordingUnauthorizedHandler.h"

#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <ostream>

namespace vellamor {

inline void PrintTo(const DataSyncConnection& connection, std::ostream* os)
{
    const char* kind = connection.needsSignIn() ? "signInNeeded" : "local";
    *os << (connection.isLocal() ? kind + ("(\"" + connection.reason().toStdString() + "\")") : "remote");
}

namespace test {

// What every data-sync client test hands its client: a cache folder of its
// own, a token the test can change and a recording sign-out seam.
template<typename Base>
class DataSyncClientTest : public Base {
protected:
    DataSyncAPI clientOn(QUrl base, std::shared_ptr<HTTPSession> session,
                         std::shared_ptr<RecordingSystemLog> systemLog) const
    {
        // A copy: co_return would move out of the slot.
        auto tokens
            = [slot = token]() -> QCoro::Task<std::optional<QString>> { co_return std::optional<QString>(*slot); };
        return DataSyncAPI(std::move(base), std::move(session), tokens, handler, folder.path(),
                           VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("data-sync"),
                                       std::move(systemLog), nullptr));
    }

    QTemporaryDir folder;
    std::shared_ptr<std::optional<QString>> token = std::make_shared<std::optional<QString>>(QStringLiteral("tok"));
    std::shared_ptr<RecordingUnauthorizedHandler> handler = std::make_shared<RecordingUnauthorizedHandler>();
};

} // namespace test

} // namespace vellamor
