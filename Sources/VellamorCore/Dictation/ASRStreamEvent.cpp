#include "Dictation/ASRStreamEvent.h"

#include "Support/TextEscaping.h"

#include <QStringList>

#include <utility>

namespace vellamor {

ASRStreamEvent::ASRStreamEvent(Kind kind)
    : kind_(kind)
{
}

ASRStreamEvent ASRStreamEvent::partial(QString text)
{
    ASRStreamEvent event(Kind::partial);
    event.text_ = std::move(text);
    return event;
}

ASRStreamEvent ASRStreamEvent::final(QString text)
{
    ASRStreamEvent event(Kind::final);
    event.text_ = std::move(text);
    return event;
}

ASRStreamEvent ASRStreamEvent::polish(QString text)
{
    ASRStreamEvent event(Kind::polish);
    event.text_ = std::move(text);
    return event;
}

ASRStreamEvent ASRStreamEvent::error(qint64 code, QString message, std::optional<QMap<QString, QString>> data)
{
    ASRStreamEvent event(Kind::error);
    event.code_ = code;
    event.message_ = std::move(message);
    event.data_ = std::move(data);
    return event;
}

ASRStreamEvent ASRStreamEvent::ready()
{
    return ASRStreamEvent(Kind::ready);
}

ASRStreamEvent ASRStreamEvent::done()
{
    return ASRStreamEvent(Kind::done);
}

QString ASRStreamEvent::debugDescription() const
{
    switch (kind_) {
    case Kind::partial:
        return QStringLiteral("partial(") + debugQuoted(text_) + QLatin1Char(')');
    case Kind::final:
        return QStringLiteral("final(") + debugQuoted(text_) + QLatin1Char(')');
    case Kind::polish:
        return QStringLiteral("polish(") + debugQuoted(text_) + QLatin1Char(')');
    case Kind::error: {
        QString data = QStringLiteral("nil");
        if (data_) {
            QStringList pairs;
            for (auto it = data_->cbegin(); it != data_->cend(); ++it)
                pairs << debugQuoted(it.key()) + QStringLiteral(": ") + debugQuoted(it.value());
            data = QLatin1Char('[') + (pairs.isEmpty() ? QStringLiteral(":") : pairs.join(QStringLiteral(", ")))
                + QLatin1Char(']');
        }
        return QStringLiteral("error(code: ") + QString::number(code_) + QStringLiteral(", message: ")
            + debugQuoted(message_) + QStringLiteral(", data: ") + data + QLatin1Char(')');
    }
    case Kind::ready:
        return QStringLiteral("ready");
    case Kind::done:
        return QStringLiteral("done");
    }
    return {};
}

} // namespace vellamor
