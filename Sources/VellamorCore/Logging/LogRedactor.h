#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace vellamor {

// Removes secrets and private content from text bound for the log file or a
// diagnostics report: a fixed, ordered list of case-insensitive substitutions.
// Any string is redacted: a lone surrogate is replaced by U+FFFD first, since
// the regex engine matches nothing in invalid UTF-16. No rule matches across
// a line break, and a rule whose value is empty takes nothing, so a secret on
// the next line is left to the rule that names it.
class LogRedactor {
public:
    struct Redaction {
        QString text;
        // Matches whose replacement differs from what they matched: an
        // already redacted value does not count again.
        int replaced = 0;
    };

    struct BulkResult {
        QStringList out;
        // How many lines differ from their input.
        int changed = 0;
        // How many secrets were replaced in all lines together.
        int replaced = 0;
    };

    static QString redact(const QString& text);
    static Redaction redactCounting(const QString& text);
    static BulkResult redactBulk(const QStringList& lines);

    // Compiles one rule's pattern the way every rule is compiled; a pattern
    // that does not compile stops the process, since the rules are constants
    // and a broken one would silently let secrets through.
    static QRegularExpression compileRule(const QString& pattern);
};

} // namespace vellamor
