#pragma once

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace vellamor::test {

// Lets queued refreshes and layout requests run: what a change made on
// this thread queued, up to three turns deep. What a thread, a timer or a
// fake's later answer brings is waited for, not settled.
inline void settleWidgets()
{
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
}

// Saves `image` as `<name>.png` in $VELLAMOR_SCREENSHOT_DIR when that is
// set, for a reviewer to look at.
inline void saveScreenshot(const QImage& image, const QString& name)
{
    const QString folder = qEnvironmentVariable("VELLAMOR_SCREENSHOT_DIR");
    if (!folder.isEmpty() && QDir().mkpath(folder))
        image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// Draws `view` as the window system shows it (clipped to its mask, clear
// outside) and saves it as a screenshot.
inline QImage renderView(QWidget& view, const QString& name)
{
    QImage image = view.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (!view.mask().isEmpty()) {
        QPainter painter(&image);
        painter.setClipRegion(QRegion(view.rect()).subtracted(view.mask()));
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.fillRect(view.rect(), Qt::transparent);
    }
    saveScreenshot(image, name);
    return image;
}

// The children of `root` that `root` shows and `wanted` picks, in reading
// order: lines top to bottom (widgets that overlap vertically share a
// line), each left to right.
inline std::vector<QWidget*> shownInReadingOrder(QWidget& root, const std::function<bool(QWidget*)>& wanted)
{
    std::vector<std::pair<QRect, QWidget*>> found;
    for (QWidget* widget : root.findChildren<QWidget*>()) {
        if (widget->isVisibleTo(&root) && wanted(widget))
            found.emplace_back(QRect(widget->mapTo(&root, QPoint(0, 0)), widget->size()), widget);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first.top() < b.first.top(); });
    std::vector<QWidget*> widgets;
    for (auto line = found.begin(); line != found.end();) {
        const int lineBottom = line->first.bottom();
        auto end = std::find_if(line, found.end(), [&](const auto& entry) { return entry.first.top() > lineBottom; });
        std::stable_sort(line, end, [](const auto& a, const auto& b) { return a.first.left() < b.first.left(); });
        for (auto entry = line; entry != end; ++entry)
            widgets.push_back(entry->second);
        line = end;
    }
    return widgets;
}

template<typename Widget>
std::vector<Widget*> shownInReadingOrder(QWidget& root)
{
    std::vector<Widget*> widgets;
    for (QWidget* widget : shownInReadingOrder(root, [](QWidget* w) { return qobject_cast<Widget*>(w) != nullptr; }))
        widgets.push_back(qobject_cast<Widget*>(widget));
    return widgets;
}

// Reads the text a widget shows, none for widgets that show none.
using TextReader = std::function<std::optional<QString>(QWidget*)>;

// Labels' and buttons' texts.
inline std::optional<QString> standardText(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget); button && !button->text().isEmpty())
        return button->text();
    return std::nullopt;
}

// Every text the user can read in `root`, in reading order.
inline QStringList shownTexts(QWidget& root, const TextReader& textOf)
{
    QStringList texts;
    for (QWidget* widget : shownInReadingOrder(root, [&](QWidget* w) { return textOf(w).has_value(); }))
        texts.append(*textOf(widget));
    return texts;
}

} // namespace vellamor::test
