#include "Windows/CardGroup.h"

#include "Windows/ThemedLabel.h"
#include "Windows/TintedGround.h"
#include "Windows/WindowTheme.h"

#include <QVBoxLayout>

namespace vellamor {

CardGroup::CardGroup(const std::optional<QString>& title, QWidget* parent)
    : QWidget(parent)
    , card_(new TintedGround(10, 0.08, this))
    , contents_(new QVBoxLayout(card_))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    if (title) {
        QFont font = WindowTheme::font(11, QFont::DemiBold);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
        layout->addWidget(new ThemedLabel(title->toUpper(), font, &WindowTheme::secondary, this));
    }
    contents_->setContentsMargins(14, 10, 14, 10);
    contents_->setSpacing(0);
    layout->addWidget(card_);
}

void CardGroup::addWidget(QWidget* content)
{
    contents_->addWidget(content);
}

} // namespace vellamor
