#include "Windows/SectionHeader.h"

#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QVBoxLayout>

namespace vellamor {

SectionHeader::SectionHeader(const QString& title, const std::optional<QString>& subtitle, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(new ThemedLabel(title, WindowTheme::font(20, QFont::DemiBold), &WindowTheme::primary, this));
    if (subtitle) {
        auto* line = new ThemedLabel(*subtitle, WindowTheme::calloutFont(), &WindowTheme::secondary, this);
        line->setWordWrap(true);
        layout->addWidget(line);
    }
}

} // namespace vellamor
