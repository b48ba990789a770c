#include "Onboarding/OnboardingBulletLine.h"

#include "Onboarding/OnboardingStyle.h"
#include "Windows/SymbolView.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>

namespace vellamor {

OnboardingBulletLine::OnboardingBulletLine(const QString& text, QWidget* parent)
    : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    auto* mark = new SymbolView(QStringLiteral("checkmark.circle.fill"), 14, &WindowTheme::green, this);
    mark->setFixedSize(18, 18);
    row->addWidget(mark, 0, Qt::AlignTop);
    row->addWidget(OnboardingStyle::body(text, this), 1, Qt::AlignTop);
}

} // namespace vellamor
