#include "App/DeeplinkRouter.h"

#include "Support/TextGraphemes.h"

#include <QByteArrayList>

#include <optional>

namespace vellamor {

namespace {

const QString scheme = QStringLiteral("vellamor");
const QString authHost = QStringLiteral("auth");
const QString stateKey = QStringLiteral("state");
const QString codeKey = QStringLiteral("code");

struct QueryItem {
    QString name;
    // None when the item has no "=".
    std::optional<QString> value;
};

// As URL components split a query: at every "&", each segment at its first
// "="; an empty segment is an item with an empty name.
QList<QueryItem> queryItems(const QUrl& url)
{
    QList<QueryItem> items;
    if (!url.hasQuery())
        return items;
    const QByteArray query = url.query(QUrl::FullyEncoded).toUtf8();
    if (query.isEmpty())
        return items;
    for (const QByteArray& segment : query.split('&')) {
        const qsizetype equals = segment.indexOf('=');
        if (equals < 0) {
            items.append({QUrl::fromPercentEncoding(segment), std::nullopt});
            continue;
        }
        items.append(
            {QUrl::fromPercentEncoding(segment.left(equals)), QUrl::fromPercentEncoding(segment.mid(equals + 1))});
    }
    return items;
}

// The first item of `name` with a non-empty value.
std::optional<QString> firstValue(const QList<QueryItem>& items, const QString& name)
{
    for (const QueryItem& item : items) {
        if (item.name == name && item.value && !item.value->isEmpty())
            return item.value;
    }
    return std::nullopt;
}

} // namespace

QString rawValue(RejectReason reason)
{
    switch (reason) {
    case RejectReason::wrongScheme:
        return QStringLiteral("wrongScheme");
    case RejectReason::unknownHost:
        return QStringLiteral("unknownHost");
    case RejectReason::missingRequiredQuery:
        return QStringLiteral("missingRequiredQuery");
    case RejectReason::payloadTooLong:
        return QStringLiteral("payloadTooLong");
    case RejectReason::invalidEncoding:
        return QStringLiteral("invalidEncoding");
    case RejectReason::duplicateQuery:
        return QStringLiteral("duplicate_query");
    case RejectReason::unexpectedQuery:
        return QStringLiteral("unexpected_query");
    }
    return {};
}

DeeplinkRouter::Result DeeplinkRouter::route(const QUrl& url)
{
    const QString absolute = url.toString(QUrl::FullyEncoded);
    const QByteArray utf8 = absolute.toUtf8();
    if (static_cast<std::size_t>(utf8.size()) > maxURLLength)
        return RejectReason::payloadTooLong;
    // Lone surrogates do not survive the trip.
    if (QString::fromUtf8(utf8) != absolute)
        return RejectReason::invalidEncoding;
    if (url.scheme().isEmpty() || url.scheme().toLower() != scheme)
        return RejectReason::wrongScheme;
    if (!url.isValid())
        return RejectReason::invalidEncoding;
    if (url.host().isEmpty() || url.host().toLower() != authHost)
        return RejectReason::unknownHost;

    const QList<QueryItem> items = queryItems(url);
    int states = 0;
    int codes = 0;
    for (const QueryItem& item : items) {
        if (item.name == stateKey)
            ++states;
        else if (item.name == codeKey)
            ++codes;
        else
            return RejectReason::unexpectedQuery;
    }
    if (states > 1 || codes > 1)
        return RejectReason::duplicateQuery;

    const std::optional<QString> state = firstValue(items, stateKey);
    if (!state)
        return RejectReason::missingRequiredQuery;
    if (graphemeCount(*state) > maxStateLength)
        return RejectReason::payloadTooLong;
    const std::optional<QString> code = firstValue(items, codeKey);
    if (!code)
        return RejectReason::missingRequiredQuery;
    if (graphemeCount(*code) > maxCodeLength)
        return RejectReason::payloadTooLong;
    return DeeplinkIntent::auth(*state, *code);
}

qsizetype DeeplinkRouter::queryItemCount(const QUrl& url)
{
    return queryItems(url).size();
}

} // namespace vellamor
