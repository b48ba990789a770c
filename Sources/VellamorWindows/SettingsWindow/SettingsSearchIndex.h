#pragma once

#include "SettingsWindow/SettingsSection.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vellamor {

// One findable setting: where it lives and the words that find it.
struct SettingsSearchEntry {
    SettingsSection section;
    QString title;
    std::optional<QString> subtitle;
    QStringList keywords;

    // "<section>::<title>::<subtitle>".
    QString id() const;

    friend bool operator==(const SettingsSearchEntry&, const SettingsSearchEntry&) = default;
};

// The settings the sidebar's search finds, in Chinese and English words.
class SettingsSearchIndex {
public:
    SettingsSearchIndex() = delete;

    // Built once, on first use.
    static const QList<SettingsSearchEntry>& entries();

    // The entries whose title, subtitle, a keyword or their section's label
    // contains the query, trimmed and ignoring case, in index order. A blank
    // query matches nothing.
    static QList<SettingsSearchEntry> match(const QString& query);

    // The sections of match(), each once, in the order of its first entry.
    static QList<SettingsSection> hitSections(const QString& query);

    // Where the window goes for a new query: the first hit section, unless
    // the current one is a hit too. None: stay (a blank query, no hit).
    static std::optional<SettingsSection> sectionToShow(const QString& query, SettingsSection current);
};

} // namespace vellamor
