#include "TextInsertion/ToolkitTextUnits.h"

#include <QList>

#include <algorithm>

namespace vellamor {

ToolkitTextUnits ToolkitTextUnits::forToolkit(const QString& toolkitName)
{
    if (toolkitName.trimmed().compare(QStringLiteral("Qt"), Qt::CaseInsensitive) == 0)
        return {Offsets::utf16, InsertLength::utf16};
    return {Offsets::codePoints, InsertLength::utf8Bytes};
}

ToolkitTextUnits ToolkitTextUnits::forField(const QString& toolkitName, const std::optional<QString>& text,
                                            std::optional<int> characterCount)
{
    ToolkitTextUnits units = forToolkit(toolkitName);
    if (!text || !characterCount)
        return units;
    const auto codePoints = text->toUcs4().size();
    if (codePoints == text->size())
        return units;
    if (*characterCount == text->size())
        units.offsets_ = Offsets::utf16;
    else if (*characterCount == codePoints)
        units.offsets_ = Offsets::codePoints;
    return units;
}

qsizetype ToolkitTextUnits::indexOf(const QString& text, int offset) const
{
    if (offset <= 0)
        return 0;
    if (offsets_ == Offsets::utf16) {
        qsizetype index = std::min<qsizetype>(offset, text.size());
        if (index > 0 && index < text.size() && text.at(index - 1).isHighSurrogate() && text.at(index).isLowSurrogate())
            --index;
        return index;
    }
    qsizetype index = 0;
    for (int counted = 0; counted < offset && index < text.size(); ++counted) {
        const bool pair = index + 1 < text.size() && text.at(index).isHighSurrogate()
            && text.at(index + 1).isLowSurrogate();
        index += pair ? 2 : 1;
    }
    return index;
}

int ToolkitTextUnits::offsetOf(const QString& text, qsizetype index) const
{
    index = std::clamp<qsizetype>(index, 0, text.size());
    if (offsets_ == Offsets::utf16)
        return static_cast<int>(index);
    int offset = 0;
    for (qsizetype i = 0; i < index; ++i) {
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate()))
            ++offset;
    }
    return offset;
}

int ToolkitTextUnits::lengthForInsert(const QString& text) const
{
    if (insertLength_ == InsertLength::utf16)
        return static_cast<int>(text.size());
    return static_cast<int>(text.toUtf8().size());
}

} // namespace vellamor
