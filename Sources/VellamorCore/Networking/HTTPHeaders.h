#pragma once

#include <QList>
#include <QStringList>
#include <QString>

#include <initializer_list>
#include <optional>
#include <utility>

namespace vellamor {

// The header fields of a request or response, in the order they were set.
// Names compare without regard to letter case, as HTTP defines; each name
// appears once (setting a name again replaces the value and keeps the first
// spelling's position but takes the new spelling).
class HTTPHeaders {
public:
    using Field = std::pair<QString, QString>;

    HTTPHeaders() = default;
    HTTPHeaders(std::initializer_list<Field> fields);

    void set(const QString& name, const QString& value);
    std::optional<QString> value(const QString& name) const;
    bool contains(const QString& name) const;
    // Returns true when a field was removed.
    bool remove(const QString& name);

    const QList<Field>& fields() const { return fields_; }
    QStringList names() const;
    bool isEmpty() const { return fields_.isEmpty(); }
    qsizetype size() const { return fields_.size(); }

    friend bool operator==(const HTTPHeaders&, const HTTPHeaders&) = default;

private:
    qsizetype indexOf(const QString& name) const;

    QList<Field> fields_;
};

} // namespace vellamor
