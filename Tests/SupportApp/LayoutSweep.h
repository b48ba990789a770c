#pragma once

#include "WidgetRendering.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QFontMetrics>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QRgb>

#include <cstdlib>

namespace vellamor::test {

namespace layoutSweep {

inline QString describe(QWidget* widget)
{
    QString text;
    if (auto* label = qobject_cast<QLabel*>(widget))
        text = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        text = button->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        text = edit->text().isEmpty() ? edit->placeholderText() : edit->text();
    const QString name = widget->objectName().isEmpty() ? QString() : QLatin1Char('#') + widget->objectName();
    return QString::fromLatin1(widget->metaObject()->className()) + name + QStringLiteral(" \"") + text.left(40)
        + QStringLiteral("\" ") + QString::number(widget->width()) + QLatin1Char('x') + QString::number(widget->height());
}

// Where `widget` may lie: its window, or the viewport of the scroll area it
// scrolls in, which it may pass above and below but never sideways.
inline std::pair<QRect, bool> boundsOf(QWidget* widget, QWidget& window)
{
    for (QWidget* up = widget->parentWidget(); up && up != &window; up = up->parentWidget()) {
        auto* area = qobject_cast<QAbstractScrollArea*>(up->parentWidget());
        if (area && area->viewport() == up)
            return {QRect(up->mapTo(&window, QPoint(0, 0)), up->size()), true};
    }
    return {window.rect(), false};
}

// The colour most of a picture of a control has, its text's colour (the
// pixel farthest from it) and how far apart the two are.
struct Ink {
    QRgb ground;
    QRgb colour;
    int contrast;
};

inline Ink inkOf(const QImage& image)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb ground = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            ground = it.key();
        }
    }
    const auto distance = [ground](QRgb colour) {
        return std::abs(qRed(colour) - qRed(ground)) + std::abs(qGreen(colour) - qGreen(ground))
            + std::abs(qBlue(colour) - qBlue(ground));
    };
    Ink ink{ground, ground, 0};
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (distance(it.key()) > ink.contrast)
            ink = {ground, it.key(), distance(it.key())};
    }
    return ink;
}

inline bool showsText(QWidget* widget)
{
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return !button->text().isEmpty();
    return qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget) || qobject_cast<QLabel*>(widget);
}

} // namespace layoutSweep

// What a user would see wrong in `window` as it is laid out now: a label or
// button too small for its text, a control outside the window (or sideways
// outside the area it scrolls in), a disabled control whose text keeps its
// enabled colour. One line per fault.
inline QStringList layoutFaults(QWidget& window)
{
    using namespace layoutSweep;
    settleWidgets();
    QStringList faults;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->isWindow() || !widget->isVisibleTo(&window))
            continue;
        const QRect rect(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        const auto [bounds, scrolls] = boundsOf(widget, window);
        if (rect.left() < bounds.left() || rect.right() > bounds.right()
            || (!scrolls && (rect.top() < bounds.top() || rect.bottom() > bounds.bottom())))
            faults.append(QStringLiteral("outside: ") + describe(widget));

        const QFontMetrics metrics(widget->font());
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            // A line cut short with an ellipsis that fits is cut on purpose.
            const bool elided = label->text().endsWith(u'…')
                && metrics.horizontalAdvance(label->text()) <= label->contentsRect().width();
            const bool cut = label->wordWrap() ? label->height() < label->heightForWidth(label->width())
                                               : (!elided && label->width() < label->sizeHint().width())
                    || label->height() < label->sizeHint().height();
            if (cut)
                faults.append(QStringLiteral("text cut: ") + describe(widget));
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget); button && !button->text().isEmpty()) {
            QString text = button->text();
            text.remove(QLatin1Char('&'));
            if (button->width() < metrics.horizontalAdvance(text) || button->height() < metrics.height())
                faults.append(QStringLiteral("text cut: ") + describe(widget));
        } else if ((qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget))
                   && widget->height() < metrics.height()) {
            faults.append(QStringLiteral("text cut: ") + describe(widget));
        }

        // Compared with itself enabled, so only its own look counts.
        if (showsText(widget) && widget->testAttribute(Qt::WA_Disabled) && widget->parentWidget()->isEnabled()) {
            const QRgb disabled = inkOf(widget->grab().toImage()).colour;
            widget->setEnabled(true);
            const QRgb enabled = inkOf(widget->grab().toImage()).colour;
            widget->setEnabled(false);
            if (disabled == enabled)
                faults.append(QStringLiteral("disabled looks enabled: ") + describe(widget));
        }
    }
    return faults;
}

} // namespace vellamor::test
