#include "Windows/InfoGrid.h"

#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QSet>
#include <QVBoxLayout>

namespace vellamor {

InfoGrid::InfoGrid(const QList<QPair<QString, QString>>& rows, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    QSet<QString> keys;
    for (const auto& [key, value] : rows) {
        if (keys.contains(key))
            continue;
        keys.insert(key);
        auto* line = new QHBoxLayout;
        line->setSpacing(8);
        auto* keyLabel = new ThemedLabel(key, WindowTheme::font(12), &WindowTheme::secondary, this);
        keyLabel->setFixedWidth(96);
        line->addWidget(keyLabel, 0, Qt::AlignTop);
        auto* valueLabel = new ThemedLabel(value, WindowTheme::font(12), &WindowTheme::primary, this);
        valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        valueLabel->setAccessibleName(value);
        // A long value (a system's full name) wraps rather than widen the page.
        valueLabel->setWordWrap(true);
        line->addWidget(valueLabel, 1, Qt::AlignTop);
        layout->addLayout(line);
    }
}

} // namespace vellamor
