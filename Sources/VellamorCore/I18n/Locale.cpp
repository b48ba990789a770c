#include "I18n/Locale.h"

#include <QLocale>

#include <algorithm>

namespace vellamor {

namespace {

std::optional<QString> leadingLanguage(const QString& identifier)
{
    qsizetype end = 0;
    while (end < identifier.size() && identifier[end] != QLatin1Char('-') && identifier[end] != QLatin1Char('_'))
        ++end;
    const QString part = identifier.left(end);
    if (part.isEmpty() || !std::all_of(part.begin(), part.end(), [](QChar c) { return c.isLetter(); }))
        return std::nullopt;
    return part;
}

} // namespace

Locale Locale::fromIdentifier(const QString& identifier)
{
    return Locale{identifier, leadingLanguage(identifier)};
}

Locale Locale::system()
{
    const QLocale locale = QLocale::system();
    Locale result{locale.name(), std::nullopt};
    if (locale.language() != QLocale::C && locale.language() != QLocale::AnyLanguage)
        result.languageCode = QLocale::languageToCode(locale.language());
    return result;
}

} // namespace vellamor
