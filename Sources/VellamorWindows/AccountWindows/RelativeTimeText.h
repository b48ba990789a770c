#pragma once

#include "Support/Date.h"

#include <QString>

namespace vellamor {

// How a time is told relative to now, in Chinese ("3小时前", "2天后"): the
// largest unit in which the two times differ (seconds up to years), counted
// in whole units toward zero. `full` spells units out as in running text;
// `abbreviated` is the short form for narrow places. Dates beyond about
// ±273,790 years count as that far; no text when the distance is not a number.
enum class RelativeTimeStyle { full, abbreviated };

QString relativeTimeText(Date date, Date now, RelativeTimeStyle style = RelativeTimeStyle::full);

} // namespace vellamor
