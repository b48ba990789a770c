#include "I18n/ObjectFormat.h"

namespace vellamor {

QString formatWithObjects(const QString& format, const QStringList& arguments)
{
    QString result;
    result.reserve(format.size());
    qsizetype nextArgument = 0;
    const auto argumentAt = [&](qsizetype index) { return index >= 0 && index < arguments.size() ? arguments[index] : QString(); };

    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != QLatin1Char('%') || i + 1 >= format.size()) {
            result += c;
            continue;
        }
        const QChar next = format[i + 1];
        if (next == QLatin1Char('%')) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        if (next == QLatin1Char('@')) {
            result += argumentAt(nextArgument++);
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < format.size() && format[j].isDigit() && format[j].unicode() < 128)
            ++j;
        if (j > i + 1 && j + 1 < format.size() && format[j] == QLatin1Char('$') && format[j + 1] == QLatin1Char('@')) {
            bool ok = false;
            const qsizetype position = format.mid(i + 1, j - i - 1).toLongLong(&ok);
            if (ok && position >= 1)
                result += argumentAt(position - 1);
            i = j + 1;
            continue;
        }
        result += c;
    }
    return result;
}

} // namespace vellamor
