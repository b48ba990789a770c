#include "Storage/SQLiteAccountStoreError.h"

#include "Support/TextEscaping.h"

#include <array>
#include <utility>

namespace vellamor {

SQLiteAccountStoreError::SQLiteAccountStoreError(Kind kind, QString message)
    : kind_(kind)
    , message_(std::move(message))
{
}

SQLiteAccountStoreError SQLiteAccountStoreError::openFailed(QString message)
{
    return SQLiteAccountStoreError(Kind::openFailed, std::move(message));
}

SQLiteAccountStoreError SQLiteAccountStoreError::schemaFailed(QString message)
{
    if (message.isEmpty())
        message = QStringLiteral("unknown");
    return SQLiteAccountStoreError(Kind::schemaFailed, std::move(message));
}

SQLiteAccountStoreError SQLiteAccountStoreError::prepareFailed(QString message)
{
    return SQLiteAccountStoreError(Kind::prepareFailed, std::move(message));
}

SQLiteAccountStoreError SQLiteAccountStoreError::stepFailed(QString message)
{
    return SQLiteAccountStoreError(Kind::stepFailed, std::move(message));
}

QString SQLiteAccountStoreError::errorDescription() const
{
    return QStringLiteral("未能完成操作。（SQLiteAccountStoreError 错误 ") + QString::number(static_cast<int>(kind_))
        + QStringLiteral("。）");
}

QString SQLiteAccountStoreError::debugDescription() const
{
    static constexpr std::array names {"openFailed", "schemaFailed", "prepareFailed", "stepFailed"};
    return QLatin1StringView(names.at(static_cast<std::size_t>(kind_))) + QLatin1Char('(') + debugQuoted(message_)
        + QLatin1Char(')');
}

} // namespace vellamor
