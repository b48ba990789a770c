#pragma once

#include "Networking/HTTPRequest.h"

#include <QByteArrayList>
#include <QList>
#include <QString>
#include <QUrl>

#include <utility>

namespace vellamor::test
{

// A browser's request for a page (no fields) or its post of a page's form:
// each value percent-encoded (a "+" goes as "%2B"), as
// application/x-www-form-urlencoded.
inline HTTPRequest browserRequest(const QUrl& url, const QList<std::pair<QString, QString>>& fields = {})
{
    HTTPRequest request;
    request.url = url;
    if (fields.isEmpty())
        return request;
    QByteArrayList encoded;
    for (const auto& [name, value] : fields)
        encoded.append(name.toUtf8() + '=' + QUrl::toPercentEncoding(value));
    request.method = QStringLiteral("POST");
    request.headers.set(QStringLiteral("Content-Type"), QStringLiteral("application/x-www-form-urlencoded"));
    request.body = encoded.join('&');
    return request;
}

} // namespace vellamor::test
