#include "Windows/InfoCard.h"

#include "Windows/SymbolView.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vellamor {

QHBoxLayout* InfoCard::symbolRowLayout(QWidget* row, const QString& systemIcon)
{
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->setSpacing(12);
    auto* icon = new SymbolView(systemIcon, 18, &WindowTheme::secondary, row);
    icon->setFixedSize(22, 22);
    auto* iconColumn = new QVBoxLayout;
    iconColumn->setContentsMargins(0, 2, 0, 0);
    iconColumn->addWidget(icon);
    iconColumn->addStretch();
    layout->addLayout(iconColumn);
    return layout;
}

InfoCard::InfoCard(const QString& systemIcon, const QString& title, const QString& desc, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = symbolRowLayout(this, systemIcon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(new ThemedLabel(title, WindowTheme::font(13, QFont::Medium), &WindowTheme::primary, this));
    auto* explanation = new ThemedLabel(desc, WindowTheme::font(11), &WindowTheme::secondary, this);
    explanation->setWordWrap(true);
    texts->addWidget(explanation);
    texts->addStretch();
    layout->addLayout(texts, 1);
}

} // namespace vellamor
