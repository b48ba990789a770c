#pragma once

// The texts the insertion timings type.

#include "Support/TextGraphemes.h"

#include <QString>

namespace vellamor::benchmark {

// `characters` characters of a dictated-looking mix of Chinese, Latin and emoji.
inline QString mixedText(qsizetype characters)
{
    const QString sentence = QStringLiteral("我们明天上午十点在会议室讨论新版本的发布计划，"
                                            "please bring the slides 📊 and your notes. 谢谢大家🙏 ");
    QString text;
    while (graphemeCount(text) < characters)
        text += sentence;
    return graphemePrefix(text, characters);
}

} // namespace vellamor::benchmark
