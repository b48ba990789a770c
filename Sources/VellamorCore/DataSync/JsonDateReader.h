#pragma once

#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

namespace vellamor {

// How a record reads its times: the server's answers and the local caches
// write them in different forms under the same keys. Throws JsonError
// naming `path`.
using JsonDateReader = Date (*)(const QJsonValue& value, const QString& path);

} // namespace vellamor
