#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace vellamor {

// A payload with no fields: written as {}, and read from any JSON value at
// all ([], 5, "text", {}), since nothing in it is looked at.
struct EmptyData {
    QJsonValue toJson() const { return QJsonObject(); }
    static EmptyData fromJson(const QJsonValue&, const QString&) { return {}; }

    friend bool operator==(EmptyData, EmptyData) = default;
};

} // namespace vellamor
