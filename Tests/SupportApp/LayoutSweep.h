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
#include <QTextDocument>

#include <algorithm>
#include <cmath>
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

// WCAG's contrast ratio of two colours, 1 to 21.
inline double contrastRatio(QRgb a, QRgb b)
{
    const auto luminance = [](QRgb colour) {
        const auto channel = [](int value) {
            const double c = value / 255.0;
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(colour)) + 0.7152 * channel(qGreen(colour)) + 0.0722 * channel(qBlue(colour));
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
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

// The shown buttons of `window` titled with one of `titles`.
inline QList<QAbstractButton*> buttonsTitled(QWidget& window, const QStringList& titles)
{
    QList<QAbstractButton*> found;
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (button->isVisibleTo(&window) && titles.contains(button->text()))
            found.append(button);
    }
    return found;
}

// What keeps `buttons`, which the design calls prominent, from reading as
// such, each drawn enabled: a coloured ground (not a plain button's grey)
// under lighter text and symbol at 4.5:1 or better. The corners, where what
// lies behind shows, are left out. One line per fault.
inline QStringList prominentFaults(const QList<QAbstractButton*>& buttons)
{
    using namespace layoutSweep;
    settleWidgets();
    QStringList faults;
    for (QAbstractButton* button : buttons) {
        const bool disabled = button->testAttribute(Qt::WA_Disabled);
        button->setEnabled(true);
        const QImage image = button->grab().toImage();
        button->setEnabled(!disabled);
        const double scale = image.devicePixelRatio();
        const QRect inner = QRect(QPoint(0, 0), image.size())
                                .adjusted(qRound(6 * scale), qRound(4 * scale), -qRound(6 * scale), -qRound(4 * scale));
        const Ink ink = inkOf(image.copy(inner));
        const double contrast = contrastRatio(ink.ground, ink.colour);
        if (QColor(ink.ground).hsvSaturation() < 128 || qGray(ink.colour) <= qGray(ink.ground) || contrast < 4.5)
            faults.append(QStringLiteral("not prominent (%1 on %2, %3:1): ")
                              .arg(QColor(ink.colour).name(), QColor(ink.ground).name())
                              .arg(contrast, 0, 'f', 1)
                + describe(button));
    }
    return faults;
}

// The labels of `window` that show `markup` and would apply it, drawing
// rich text; the texts of all that show it go to `shown`.
inline QStringList richTextFaults(QWidget& window, const QString& markup, QStringList& shown)
{
    QStringList faults;
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->text().contains(markup))
            continue;
        shown.append(label->text());
        const Qt::TextFormat format = label->textFormat();
        if (format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(label->text())))
            faults.append(QStringLiteral("rich text: ") + layoutSweep::describe(label));
    }
    return faults;
}

} // namespace vellamor::test
