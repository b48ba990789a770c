#include "DevHttpResponse.h"

#include <QJsonDocument>

#include <algorithm>

namespace vellamor::devbackend {

DevHttpResponse DevHttpResponse::json(int status, const QJsonObject& object)
{
    DevHttpResponse response;
    response.status = status;
    response.setHeader("Content-Type", "application/json");
    response.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return response;
}

DevHttpResponse DevHttpResponse::text(int status, const QByteArray& text)
{
    DevHttpResponse response;
    response.status = status;
    response.setHeader("Content-Type", "text/plain; charset=utf-8");
    response.body = text;
    return response;
}

DevHttpResponse DevHttpResponse::html(int status, const QString& page)
{
    DevHttpResponse response;
    response.status = status;
    response.setHeader("Content-Type", "text/html; charset=utf-8");
    response.body = page.toUtf8();
    return response;
}

void DevHttpResponse::setHeader(const QByteArray& name, const QByteArray& value)
{
    for (auto& [key, existing] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            existing = value;
            return;
        }
    }
    headers.append({name, value});
}

bool DevHttpResponse::hasHeader(const QByteArray& name) const
{
    return std::ranges::any_of(
        headers, [&name](const auto& field) { return field.first.compare(name, Qt::CaseInsensitive) == 0; });
}

QByteArray DevHttpResponse::head(bool keepAlive) const
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    for (const auto& [name, value] : headers) {
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0
            || name.compare("Connection", Qt::CaseInsensitive) == 0)
            continue;
        out += name + ": " + value + "\r\n";
    }
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    out += "\r\n";
    return out;
}

QByteArray DevHttpResponse::reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409:
        return "Conflict";
    case 410:
        return "Gone";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

} // namespace vellamor::devbackend
