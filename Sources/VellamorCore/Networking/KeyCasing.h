#pragma once

#include <QJsonValue>
#include <QString>

namespace vellamor {

// The two key strategies of the generic client's coders.
enum class KeyCasing {
    unchanged,
    // Encoding: "createdAt" → "created_at". A word starts at an upper-case
    // letter; a run of upper-case letters is one word, except that its last
    // letter starts the next word when a lower-case letter follows
    // ("myURLProperty" → "my_url_property"). Words are lower-cased and joined
    // with "_".
    toSnakeCase,
    // Decoding: "created_at" → "createdAt". Leading and trailing "_" are
    // kept; a key with no "_" between them is left exactly as it is;
    // otherwise the "_"-separated words are joined, the first lower-cased and
    // each later one capitalised (first letter upper, the rest lower).
    fromSnakeCase,
};

QString convertKey(const QString& key, KeyCasing casing);

// `value` with every object key at every depth converted. The tree carries
// no types, so the keys of a free-form map inside it are converted as well.
QJsonValue convertingKeys(const QJsonValue& value, KeyCasing casing);

} // namespace vellamor
