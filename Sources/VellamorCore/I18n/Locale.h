#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// A locale as the catalogue lookup sees it: an identifier kept exactly as
// given ("zh-Hans", "en", or the system's "zh_TW") and its language code.
// QLocale is not used for the named locales because it rewrites identifiers
// ("zh-Hans" becomes "zh_CN", "en" becomes "en_US").
struct Locale {
    QString identifier;
    std::optional<QString> languageCode;

    // The language code is the identifier's first part, before any "-" or
    // "_", when that part is made of letters.
    static Locale fromIdentifier(const QString& identifier);
    // The user's locale from the environment (LC_ALL, LC_MESSAGES, LANG), in
    // the platform's spelling with an underscore ("zh_TW", "en_GB"). The C
    // locale has no language code.
    static Locale system();

    friend bool operator==(const Locale&, const Locale&) = default;
};

} // namespace vellamor
