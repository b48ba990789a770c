#pragma once

#include <QString>

namespace vellamor {

// Counts user-perceived characters (extended grapheme clusters): "👍🏽", "🇨🇳",
// "e\u0301" and "👨‍👩‍👧" are one each, every CJK ideograph is one. Use this
// wherever a rule limits or measures "characters"; QString::size() counts
// UTF-16 units.
qsizetype graphemeCount(const QString& text);

// The first `maxGraphemes` grapheme clusters of `text` (all of it when it is
// shorter), never splitting a cluster or a surrogate pair. A negative limit
// counts as zero.
QString graphemePrefix(const QString& text, qsizetype maxGraphemes);

} // namespace vellamor
