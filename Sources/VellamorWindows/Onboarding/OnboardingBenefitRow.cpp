#include "Onboarding/OnboardingBenefitRow.h"

#include "Onboarding/OnboardingStyle.h"
#include "Windows/SymbolView.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vellamor {

OnboardingBenefitRow::OnboardingBenefitRow(const QString& icon, std::function<QColor()> colour, const QString& title,
                                           const QString& text, QWidget* parent)
    : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    auto* symbol = new SymbolView(icon, 12, colour, this);
    symbol->setFixedSize(18, 16);
    row->addWidget(symbol, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(new ThemedLabel(title, WindowTheme::font(12, QFont::DemiBold), colour, this));
    texts->addWidget(OnboardingStyle::body(text, this));
    row->addLayout(texts, 1);
}

} // namespace vellamor
