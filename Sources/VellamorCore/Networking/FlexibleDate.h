#pragma once

#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

namespace vellamor {

// The date rule for server timestamps, used by clients whose reply records
// carry dates. The value must be a JSON string (a number of seconds fails
// with JsonError::typeMismatch). Accepted forms, tried in this order, all
// taken as UTC unless they carry a zone ("Z" or ±hh:mm):
//   2024-05-01T08:30:00Z          2024-05-01T08:30:00.123+08:00
//   2024-05-01T08:30:00.123456Z   2024-05-01T08:30:00 (no zone: UTC)
// then any RFC 3339 internet date-time, with or without fractional seconds.
// Anything else (a date alone, an empty string) throws
// JsonError::invalidValue at `path` whose detail is "unrecognized date: "
// followed by the text as received.
Date decodeFlexibleDate(const QJsonValue& value, const QString& path);

} // namespace vellamor
