#include "Windows/ViewKit.h"

#include "Windows/WindowTheme.h"

#include <QLayout>
#include <QVBoxLayout>

namespace vellamor {

ThemedLabel* captionLabel(const QString& text, QWidget* parent)
{
    return new ThemedLabel(text, WindowTheme::captionFont(), &WindowTheme::secondary, parent);
}

ThemedLabel* headingLabel(const QString& text, double size, QWidget* parent)
{
    return new ThemedLabel(text, WindowTheme::font(size, QFont::DemiBold), &WindowTheme::primary, parent);
}

ThemedLabel* centredText(const QString& text, const QFont& font, ThemedLabel::Ink ink, QWidget* parent)
{
    auto* label = new ThemedLabel(text, font, std::move(ink), parent);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    return label;
}

QVBoxLayout* centredColumn(QWidget* page, int spacing)
{
    auto* column = new QVBoxLayout(page);
    column->setSpacing(spacing);
    column->addStretch();
    return column;
}

void addCentred(QVBoxLayout* column, QWidget* widget)
{
    column->addWidget(widget, 0, Qt::AlignHCenter);
}

void clearLayout(QLayout* layout)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
}

} // namespace vellamor
