#pragma once

#include <QString>
#include <QUuid>

#include <optional>

namespace vellamor {

// The canonical text of a UUID wherever one is written as text: 36 characters,
// upper-case hex, no braces ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F").
QString uuidString(const QUuid& uuid);

// Reads the 8-4-4-4-12 hex form in either case. Braces, missing or extra
// hyphens, surrounding blanks and any other length are refused (none).
std::optional<QUuid> parseUuid(QStringView text);

} // namespace vellamor
