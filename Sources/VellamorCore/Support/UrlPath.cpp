#include "Support/UrlPath.h"

namespace vellamor {

QUrl appendingPath(const QUrl& base, const QString& path)
{
    qsizetype start = 0;
    while (start < path.size() && path[start] == QLatin1Char('/'))
        ++start;
    if (start == path.size())
        return base;

    QString basePath = base.path(QUrl::FullyEncoded);
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);

    // Everything a path segment may hold stays readable; the rest is escaped.
    static const QByteArray keep = QByteArrayLiteral("/!$&'()*+,;=:@");
    const QString tail = QString::fromLatin1(QUrl::toPercentEncoding(path.mid(start), keep));

    QUrl result = base;
    result.setPath(basePath + QLatin1Char('/') + tail, QUrl::TolerantMode);
    return result;
}

} // namespace vellamor
