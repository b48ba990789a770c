#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// A value that cannot be written as JSON, e.g. a NaN or infinite number,
// which JSON has no spelling for (Qt would silently write null instead).
class JsonEncodingError final : public Error {
public:
    JsonEncodingError(QString path, QString detail);

    const QString& path() const { return path_; }
    const QString& detail() const { return detail_; }

    QString errorDescription() const override;
    QString debugDescription() const override;

private:
    QString path_;
    QString detail_;
};

} // namespace vellamor
