#pragma once

#include "Models/VellamorErrorCode.h"
#include "Support/Error.h"

#include <QMap>
#include <QString>

#include <optional>

namespace vellamor {

// A refusal by the backend: a non-zero result code, known or not, with the
// envelope's message and optional string details.
class VellamorServiceError final : public Error {
public:
    VellamorServiceError(qint64 code, QString message, std::optional<QMap<QString, QString>> data = std::nullopt);

    qint64 code() const { return code_; }
    const QString& message() const { return message_; }
    const std::optional<QMap<QString, QString>>& data() const { return data_; }

    // The case for `code`, none for a code without one.
    std::optional<VellamorErrorCode> known() const;

    // "VellamorServiceError(code=40300, msg=forbidden)"; the data are not shown.
    QString description() const;
    // Both are the description: it is what a user sees for a code no
    // component maps to a text of its own.
    QString errorDescription() const override;
    QString debugDescription() const override;

    friend bool operator==(const VellamorServiceError& a, const VellamorServiceError& b)
    {
        return a.code_ == b.code_ && a.message_ == b.message_ && a.data_ == b.data_;
    }

private:
    qint64 code_;
    QString message_;
    std::optional<QMap<QString, QString>> data_;
};

} // namespace vellamor
