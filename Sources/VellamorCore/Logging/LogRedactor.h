#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace vellamor {

// Removes secrets and private content from text bound for the log file or a
// diagnostics report: a fixed, ordered list of case-insensitive substitutions.
class LogRedactor {
public:
    struct BulkResult {
        QStringList out;
        // How many lines differ from their input, not how many substitutions ran.
        int changed = 0;
    };

    static QString redact(const QString& text);
    static BulkResult redactBulk(const QStringList& lines);

    // Compiles one rule's pattern the way every rule is compiled; a pattern
    // that does not compile stops the process, since the rules are constants
    // and a broken one would silently let secrets through.
    static QRegularExpression compileRule(const QString& pattern);
};

} // namespace vellamor
