#include "Networking/WSMessage.h"

#include "Support/TextEscaping.h"

#include <utility>

namespace vellamor {

WSMessage WSMessage::text(QString text)
{
    WSMessage message(Kind::text);
    message.text_ = std::move(text);
    return message;
}

WSMessage WSMessage::binary(QByteArray data)
{
    WSMessage message(Kind::binary);
    message.data_ = std::move(data);
    return message;
}

QString WSMessage::debugDescription() const
{
    if (kind_ == Kind::text)
        return QStringLiteral("text(") + debugQuoted(text_) + QLatin1Char(')');
    return QStringLiteral("binary(") + QString::number(data_.size()) + QStringLiteral(" bytes)");
}

} // namespace vellamor
