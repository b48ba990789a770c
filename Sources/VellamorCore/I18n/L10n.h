#pragma once

#include <QString>
#include <QStringList>

namespace vellamor {

class LocaleResolver;
class XCStringsLoader;

// The texts looked up by key in the string catalogue, in the interface
// language of LocaleResolver::shared(). Nothing is cached: each call looks
// the text up again, so a language change shows at the next call. A key
// without a text gives the key itself.
class L10n {
public:
    L10n() = delete;

    static QString localized(const QString& key);
    static QString localized(const QString& key, const LocaleResolver& resolver, const XCStringsLoader& loader);

    struct About {
        static QString title();
        static QString tagline();
        static QString feedbackChannel();
        static QString feedbackChannelValue();
        static QString license();
        static QString licenseValue();
        static QString visitWebsite();
        static QString sendFeedback();
        static QString licensesCredits();
        // The "about.versionFormat" text with its two "%@", version first.
        static QString versionFormat(const QString& version, const QString& build);
    };

    // Defined for error texts; no component shows them yet.
    struct Errors {
        static QString network();
        static QString unauthorized();
        static QString timeout();
        static QString serverError();
        static QString micPermissionDenied();
        static QString accessibilityDenied();
        static QString recognitionFailed();
        static QString insertFailed();
        static QString unknown();
    };

    struct Hotkey {
        // The key held to dictate, as the keyboard labels it ("右 Ctrl").
        static QString heldKey();
        // `sentence` with its one "%1" replaced by a key's name. Chinese sets
        // no blank between a Chinese word and a name that begins with a
        // Chinese character ("按下右 Ctrl"); a Latin name keeps its blank
        // ("按下 Ctrl+Alt+A").
        static QString inSentence(const QString& sentence, const QString& keyName);
    };

    // The dictionary window's fixed texts, keyed by their Chinese wording.
    struct Dictionary {
        static QString searchPlaceholder();
        static QString refresh();
        static QString addEntry();
        static QString signInHelp();
        static QString loading();
        static QString retry();
        static QString emptyTitle();
        static QString emptyHint();
        static QString addFirstEntry();
        static QString editEntry();
        static QString termPlaceholder();
        static QString replacementPlaceholder();
        static QString notePlaceholder();
        static QString editorHelp();
        static QString cancel();
        static QString add();
        static QString save();
        static QString editHelp();
        static QString deleteHelp();
    };

    // Every key the accessors above look up, so the shipped catalogue can be
    // checked against them.
    static const QStringList& keys();
};

} // namespace vellamor
