#pragma once

#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

namespace vellamor {

// The date form of the signed-in session's local JSON (the keyring
// document): an internet date-time with whole seconds, written in UTC
// ("2025-03-01T08:00:00Z"). Reading accepts "Z" or a "+hh:mm" offset and
// nothing else: a fraction of a second, a number or a date alone throw
// JsonError at `path`. Writing drops the fraction of a second and clamps a
// date outside the years 0001 to 9999 to the nearer end, so that whatever a
// server sends, the stored session reads back.
QJsonValue encodeKeychainDate(Date date);
Date decodeKeychainDate(const QJsonValue& value, const QString& path);

} // namespace vellamor
