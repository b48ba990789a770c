#include "Logging/LogReader.h"

#include "Logging/LogReaderError.h"
#include "Models/VellamorAction.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonWriter.h"
#include "Support/Utf8Text.h"

#include <QFile>

#include <algorithm>
#include <chrono>

namespace vellamor {

int LogReader::clampedLineCount(int lines)
{
    return std::clamp(lines, 1, maxTailLines);
}

QByteArray LogReader::droppingPartialFirstLine(const QByteArray& window)
{
    const qsizetype newline = window.indexOf('\n');
    if (newline >= 0)
        return window.mid(newline + 1);
    // One long line: keep it, but not the tail of a character cut at the
    // window's start, or the whole window would fail to decode.
    qsizetype skip = 0;
    while (skip < 3 && skip < window.size() && (static_cast<unsigned char>(window[skip]) & 0xC0) == 0x80)
        ++skip;
    return window.mid(skip);
}

QString LogReader::lastLines(const QString& text, int count)
{
    QStringList pieces = text.split(QLatin1Char('\n'));
    if (!pieces.isEmpty() && pieces.last().isEmpty())
        pieces.removeLast();
    const qsizetype keep = std::min<qsizetype>(pieces.size(), count);
    return pieces.mid(pieces.size() - keep).join(QLatin1Char('\n'));
}

std::optional<QString> LogReader::readLocal(const std::optional<QString>& path, int lines)
{
    if (!path)
        return std::nullopt;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;

    const int count = clampedLineCount(lines);
    const qint64 size = file.size();
    // A sequential file (a pipe, a device) has no size to count back from.
    const qint64 start = file.isSequential() || size < maxTailBytes ? 0 : size - maxTailBytes;
    if (start > 0)
        file.seek(start);
    // An empty file is read fine: it gives the empty text, not none.
    QByteArray window = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    file.close();

    if (start > 0)
        window = droppingPartialFirstLine(window);
    const std::optional<QString> text = decodeUtf8Strictly(window);
    if (!text)
        return QString();
    return lastLines(*text, count);
}

QCoro::Task<LogReader::RemoteTailResult> LogReader::readRemote(QUrl api, std::optional<QString> token, int lines,
                                                               std::shared_ptr<HTTPSession> session,
                                                               std::stop_token stop)
{
    if (!token || token->isEmpty())
        throw LogReaderError::missingToken();

    HTTPRequest request;
    request.url = std::move(api);
    request.method = QStringLiteral("POST");
    request.timeout = std::chrono::seconds(60);
    request.headers.set(QStringLiteral("Content-Type"), QStringLiteral("application/json"));
    request.headers.set(QStringLiteral("X-Admin-Token"), *token);
    JsonWriter data;
    data.insert(u"lines", clampedLineCount(lines));
    JsonWriter envelope;
    envelope.insert(u"action", VellamorAction::adminTailLog).insert(u"data", data);
    request.body = envelope.toJson();

    const HTTPResult result = co_await session->data(std::move(request), std::move(stop));

    if (!result.response.isHTTP())
        throw LogReaderError::invalidResponse();
    const int status = *result.response.statusCode;
    if (status == 401)
        throw LogReaderError::unauthorized();
    if (status >= 400)
        throw LogReaderError::httpStatus(status);

    const JsonReader reply = JsonReader::parse(result.data);
    const qint64 code = reply.requireInt64(u"code");
    const QString msg = reply.requireString(u"msg");
    const std::optional<JsonReader> payload = reply.optionalObject(u"data");
    // The whole reply is decoded before the code is judged, so a refusal
    // with a malformed "data" is a decoding error.
    std::optional<RemoteTailResult> tail;
    if (payload) {
        RemoteTailResult decoded;
        decoded.path = payload->optionalString(u"path").value_or(QString());
        decoded.exists = payload->requireBool(u"exists");
        decoded.totalBytes = payload->optionalInt64(u"total_bytes").value_or(0);
        if (const auto lineArray = payload->optionalArray(u"lines"))
            decoded.lines = lineArray->strings();
        decoded.reason = payload->optionalString(u"reason");
        tail = std::move(decoded);
    }
    if (code != 0)
        throw LogReaderError::businessError(code, msg);
    co_return tail.value_or(RemoteTailResult());
}

} // namespace vellamor
