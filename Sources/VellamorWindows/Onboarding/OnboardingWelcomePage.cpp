#include "Onboarding/OnboardingWelcomePage.h"

#include "I18n/L10n.h"
#include "Onboarding/OnboardingBulletLine.h"
#include "Onboarding/OnboardingStyle.h"
#include "Windows/SymbolView.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QVBoxLayout>

namespace vellamor {

OnboardingWelcomePage::OnboardingWelcomePage(const QString& hotkeyName, QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);
    auto* icon = new SymbolView(QStringLiteral("waveform.circle.fill"), 52, &WindowTheme::blue, this);
    icon->setFixedSize(52, 52);
    column->addWidget(icon, 0, Qt::AlignLeft);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(6);
    titles->addWidget(headingLabel(QStringLiteral("用说的，比打字快"), 26, this));
    titles->addWidget(OnboardingStyle::subtitle(
        QStringLiteral("接下来 3 分钟会带你开好 3 个系统权限，结束时你能在任意应用里："), this));
    column->addLayout(titles);

    auto* bullets = new QVBoxLayout;
    bullets->setSpacing(10);
    bullets->setContentsMargins(0, 6, 0, 0);
    for (const QString& text : { L10n::Hotkey::inSentence(QStringLiteral("按下 %1 就开始录，松开就出文字"), hotkeyName),
             QStringLiteral("说话转写后自动润色，去掉口癖和重复"), QStringLiteral("结果直接落在你正在写的那个输入框") })
        bullets->addWidget(new OnboardingBulletLine(text, this));
    column->addLayout(bullets);
    column->addStretch();
}

} // namespace vellamor
