#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vellamor {

// The bytes as UTF-8 text, or none when any byte sequence is not valid
// UTF-8 (including a character cut off at the end). QString::fromUtf8 would
// instead replace such bytes silently. A leading byte-order mark is kept as
// a character, like every other byte of the input.
std::optional<QString> decodeUtf8Strictly(const QByteArray& bytes);

} // namespace vellamor
