#pragma once

#include "I18n/Locale.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace vellamor {

// The string catalogue "Localizable.xcstrings" of the core's resource
// bundle, read as JSON:
//   {"sourceLanguage": "zh-Hans",
//    "strings": {"<key>": {"localizations": {"<code>": {"stringUnit": {"value": "…"}}}}}}
// Every member named there is required with that type; one missing or
// mistyped anywhere makes the whole catalogue unusable, and every lookup
// then finds nothing. Other members are ignored. Read-only once loaded, so
// lookups may run on any thread.
class XCStringsLoader {
public:
    struct Catalog {
        QString sourceLanguage;
        // key → language code → text
        QHash<QString, QHash<QString, QString>> strings;
    };

    // Loads the file at `cataloguePath` at once; none or an unreadable file
    // leaves no catalogue.
    explicit XCStringsLoader(const std::optional<QString>& cataloguePath);

    // The process-wide loader of "<resource bundle>/Localizable.xcstrings",
    // loaded on first use.
    static XCStringsLoader& shared();
    static QString defaultCataloguePath();

    static std::optional<Catalog> parse(const QByteArray& json);

    const std::optional<Catalog>& catalog() const { return catalog_; }

    // The key's text for the first of the locale's candidate codes that the
    // entry has, else for the source language; none without a catalogue or
    // entry.
    std::optional<QString> value(const QString& key, const Locale& locale) const;

    // The codes to try, in order: the identifier as it is; for Chinese,
    // "zh-Hant" or "zh-Hans" by script or region (even when it repeats the
    // identifier); the language code; the source language. The last two are
    // left out when already listed.
    static QStringList candidateLocaleCodes(const Locale& locale, const QString& sourceLanguage);

private:
    std::optional<Catalog> catalog_;
};

} // namespace vellamor
