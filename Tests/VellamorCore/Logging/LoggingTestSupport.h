#pragma once

#include "QtPrinters.h"

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>

namespace vellamor::test {

// The file's physical lines, without the empty piece after the final newline.
inline QStringList readLogLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Timestamp, blank, five-character tag, blank, [category], blank, message.
inline const QRegularExpression& logLinePattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z) (DEBUG|INFO |WARN |ERROR) \[([^\]]*)\] (.*)$)"));
    return pattern;
}

} // namespace vellamor::test
