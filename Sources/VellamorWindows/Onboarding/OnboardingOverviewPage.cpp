#include "Onboarding/OnboardingOverviewPage.h"

#include "I18n/L10n.h"
#include "Onboarding/OnboardingStatusTag.h"
#include "Onboarding/OnboardingStyle.h"
#include "Onboarding/OnboardingViewModel.h"
#include "Windows/SymbolView.h"
#include "Windows/ThemedLabel.h"
#include "Windows/TintedGround.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vellamor {

namespace {

QString detailOf(VellamorPermission permission, const QString& hotkeyName)
{
    switch (permission) {
    case VellamorPermission::microphone:
        return QStringLiteral("Vellamor 才能听见你说话");
    case VellamorPermission::accessibility:
        return QStringLiteral("识别完的文字才能落到你正在写的那个输入框");
    case VellamorPermission::inputMonitoring:
        return L10n::Hotkey::inSentence(QStringLiteral("在任何 App 里按下 %1 都能立刻开始录"), hotkeyName);
    }
    return {};
}

QWidget* permissionCard(VellamorPermission permission, VellamorPermissionStatus status, const QString& hotkeyName,
                        QWidget* parent)
{
    auto* card = new TintedGround(8, 0.08, parent);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(14);
    auto* icon = new SymbolView(symbolName(permission), 18, &WindowTheme::blue, card);
    icon->setFixedSize(28, 28);
    row->addWidget(icon, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    titleRow->addWidget(new ThemedLabel(title(permission), WindowTheme::font(13, QFont::DemiBold),
                                        &WindowTheme::primary, card));
    titleRow->addWidget(new OnboardingStatusTag(status, card));
    titleRow->addStretch();
    texts->addLayout(titleRow);
    texts->addWidget(OnboardingStyle::footnote(detailOf(permission, hotkeyName), card));
    row->addLayout(texts, 1);
    return card;
}

} // namespace

OnboardingOverviewPage::OnboardingOverviewPage(OnboardingViewModel& vm, const QString& hotkeyName, QWidget* parent)
    : QWidget(parent)
    , hotkeyName_(hotkeyName)
    , cards_(new QWidget(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);
    column->addWidget(headingLabel(QStringLiteral("先开 3 个系统权限"), 22, this));
    column->addWidget(OnboardingStyle::subtitle(
        L10n::Hotkey::inSentence(
            QStringLiteral(
                "Vellamor 不上传你的声音到第三方服务，权限只用于完成「按 %1 说话 → 文字落在光标位置」这一件事。"),
            hotkeyName),
        this));
    auto* cardList = new QVBoxLayout(cards_);
    cardList->setContentsMargins(0, 6, 0, 0);
    cardList->setSpacing(10);
    column->addWidget(cards_);
    column->addStretch();
    // The poll replaces the map every second, mostly with the same values.
    showCards(vm.statuses.value());
    statuses_ = vm.statuses.subscribeQueued(this, [this](const PermissionStatuses& statuses) {
        if (!shown_ || statuses != *shown_)
            showCards(statuses);
    });
}

void OnboardingOverviewPage::showCards(const PermissionStatuses& statuses)
{
    shown_ = statuses;
    QLayout* list = cards_->layout();
    clearLayout(list);
    for (VellamorPermission permission : allPermissions()) {
        list->addWidget(permissionCard(
            permission, statuses.value(permission, VellamorPermissionStatus::notDetermined), hotkeyName_,
            cards_));
    }
}

} // namespace vellamor
