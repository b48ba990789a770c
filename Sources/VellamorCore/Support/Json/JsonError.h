#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// A JSON text or value that does not have the shape a reader expects. The
// description names the key path and what was expected and found, e.g.
// `expected string at "data.user_id", found number`. Paths join keys with "."
// and array positions as "[i]"; the empty path is the top level.
class JsonError final : public Error {
public:
    enum class Kind {
        invalidJson,  // the bytes are not JSON
        typeMismatch, // a value of another type (null included)
        missingKey,   // a required key is absent
        notIntegral,  // an integer was expected, the number has a fraction
        outOfRange,   // an integer was expected, the number is outside qint64
        invalidValue, // right type, unacceptable value (the caller's rule)
    };

    static JsonError invalidJson(const QString& detail);
    static JsonError typeMismatch(const QString& path, const QString& expected, const QString& found);
    static JsonError missingKey(const QString& path, const QString& expected);
    static JsonError notIntegral(const QString& path, const QString& found);
    static JsonError outOfRange(const QString& path, const QString& found);
    static JsonError invalidValue(const QString& path, const QString& detail);

    Kind kind() const { return kind_; }
    const QString& path() const { return path_; }
    // The expected type name ("string", "bool", "integer", "number", "object",
    // "array"); empty for invalidJson and invalidValue.
    const QString& expected() const { return expected_; }
    // What was found: a type name, or the number for notIntegral/outOfRange.
    const QString& found() const { return found_; }

    // The sentence above; decoding failures carry it as their detail.
    QString message() const;
    QString errorDescription() const override;
    // `typeMismatch("expected string at \"data.user_id\", found number")`.
    QString debugDescription() const override;

    // "top level" for the empty path, otherwise the path in double quotes.
    static QString describePath(const QString& path);

private:
    JsonError(Kind kind, QString path, QString expected, QString found, QString detail);

    Kind kind_;
    QString path_;
    QString expected_;
    QString found_;
    QString detail_;
};

} // namespace vellamor
