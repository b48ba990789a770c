#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <ostream>

// Readable GoogleTest failure messages for the Qt values tests compare.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << "QByteArray(\"" << bytes.toStdString() << "\")";
}

inline void PrintTo(const QUrl& url, std::ostream* os)
{
    *os << "QUrl(\"" << url.toString(QUrl::FullyEncoded).toStdString() << "\")";
}
