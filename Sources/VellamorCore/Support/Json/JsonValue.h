#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// Value-level conversions shared by JsonReader and JsonArrayReader. Each
// `read…` checks the type exactly and throws JsonError naming `path`; Qt's
// own accessors return a default on a mismatch instead.
namespace vellamor::json {

// "string", "number", "bool", "object", "array", "null" (or "absent" for an
// undefined value).
QString typeName(const QJsonValue& value);

// `parent.key`, or `key` at the top level.
QString keyPath(const QString& parent, QStringView key);
// `parent[index]`.
QString indexPath(const QString& parent, qsizetype index);

// The number as an exact qint64: none for non-numbers, numbers with a
// fraction and numbers outside the qint64 range. An integral number written
// with a fraction or exponent ("1.0", "1e3") is accepted as that integer (Qt's
// parser already stores such numbers as integers). Never goes through double
// for integers: 9007199254740993 stays 9007199254740993. Limit of the parser
// underneath: a literal just below -2^63 (e.g. -9223372036854775809) rounds
// to -2^63 while parsing and cannot be told apart afterwards.
std::optional<qint64> exactInt64(const QJsonValue& value);

QString readString(const QJsonValue& value, const QString& path);
bool readBool(const QJsonValue& value, const QString& path);
qint64 readInt64(const QJsonValue& value, const QString& path);
double readDouble(const QJsonValue& value, const QString& path);
QJsonObject readObject(const QJsonValue& value, const QString& path);
QJsonArray readArray(const QJsonValue& value, const QString& path);

// Throws JsonError::missingKey for an undefined value, typeMismatch otherwise.
[[noreturn]] void throwMismatch(const QJsonValue& value, const QString& path, const QString& expected);

} // namespace vellamor::json
