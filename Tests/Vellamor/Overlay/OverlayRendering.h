#pragma once

#include "WidgetRendering.h"

#include "Overlay/ModeHintPill.h"
#include "Overlay/OverlayButton.h"
#include "Overlay/OverlayLabel.h"
#include "Overlay/ThinkingLabel.h"

namespace vellamor::test {

// Every text the user can read in `root`.
inline QStringList shownTexts(QWidget& root)
{
    return shownTexts(root, [](QWidget* widget) -> std::optional<QString> {
        if (auto* label = qobject_cast<OverlayLabel*>(widget))
            return label->text();
        if (auto* thinking = qobject_cast<ThinkingLabel*>(widget))
            return thinking->text();
        return std::nullopt;
    });
}

// The tooltips of the buttons and hints the user can see in `root`.
inline QStringList shownControlTips(QWidget& root)
{
    QStringList tips;
    const auto isControl = [](QWidget* w) { return qobject_cast<OverlayButton*>(w) || qobject_cast<ModeHintPill*>(w); };
    for (QWidget* widget : shownInReadingOrder(root, isControl))
        tips.append(widget->toolTip());
    return tips;
}

} // namespace vellamor::test
