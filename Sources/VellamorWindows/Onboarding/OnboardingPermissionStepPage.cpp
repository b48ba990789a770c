#include "Onboarding/OnboardingPermissionStepPage.h"

#include "I18n/L10n.h"
#include "Onboarding/OnboardingBenefitRow.h"
#include "Onboarding/OnboardingStatusTag.h"
#include "Onboarding/OnboardingStyle.h"
#include "Windows/PaintKit.h"
#include "Windows/ProminentButton.h"
#include "Windows/Symbols.h"
#include "Windows/TintedGround.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace vellamor {

namespace {

struct PermissionTexts {
    QString gained;
    QString lost;
};

PermissionTexts textsOf(VellamorPermission permission, const QString& hotkeyName)
{
    switch (permission) {
    case VellamorPermission::microphone:
        return {QStringLiteral("在邮件、备忘录、聊天框里按一下，说出来就能写进去"),
                QStringLiteral("麦克风是核心，不开 Vellamor 完全用不了")};
    case VellamorPermission::accessibility:
        return {QStringLiteral("说完直接出现在光标位置，不用再手动复制粘贴"),
                QStringLiteral("只能把文字复制到剪贴板，要你自己再 Ctrl+V 粘进去")};
    case VellamorPermission::inputMonitoring:
        return { L10n::Hotkey::inSentence(QStringLiteral("不用切回 Vellamor，按 %1 就能开始说，松开就停"), hotkeyName),
            L10n::Hotkey::inSentence(QStringLiteral("只能点托盘图标手动开始录音，按 %1 不会有反应"), hotkeyName) };
    }
    return {};
}

QColor statusColour(VellamorPermissionStatus status)
{
    switch (status) {
    case VellamorPermissionStatus::notDetermined:
        return WindowTheme::blue();
    case VellamorPermissionStatus::denied:
        return WindowTheme::red();
    case VellamorPermissionStatus::granted:
        return WindowTheme::green();
    }
    return {};
}

// The permission's symbol on a faint circle, both in the status colour.
class StatusBadge final : public QWidget {
public:
    StatusBadge(QString icon, VellamorPermissionStatus status, QWidget* parent)
        : QWidget(parent)
        , icon_(std::move(icon))
        , status_(status)
    {
        setFixedSize(100, 100);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor colour = statusColour(status_);
        painter.setPen(Qt::NoPen);
        painter.setBrush(PaintKit::withOpacity(colour, 0.12));
        painter.drawEllipse(rect());
        Symbols::paint(painter, QRectF(22, 22, 56, 56), icon_, colour);
    }

private:
    QString icon_;
    VellamorPermissionStatus status_;
};

// What the page says before any action: the accessibility step asks to
// restart open applications, and a display server that hides keys says why.
QString standingNote(VellamorPermission permission, const PermissionChecker& checker)
{
    switch (permission) {
    case VellamorPermission::accessibility:
        return QStringLiteral("开启后，已经打开的应用需要重新启动，Vellamor 才能把文字写进去。");
    case VellamorPermission::inputMonitoring:
        return checker.inputMonitoring().explanation;
    case VellamorPermission::microphone:
        return {};
    }
    return {};
}

} // namespace

QString OnboardingPermissionStepPage::actionTitle(VellamorPermissionStatus status)
{
    switch (status) {
    case VellamorPermissionStatus::notDetermined:
        return QStringLiteral("去开启");
    case VellamorPermissionStatus::denied:
        return QStringLiteral("去系统设置打开");
    case VellamorPermissionStatus::granted:
        return QStringLiteral("已开启");
    }
    return {};
}

OnboardingPermissionStepPage::OnboardingPermissionStepPage(VellamorPermission permission, OnboardingViewModel& vm,
                                                           const QString& hotkeyName, QWidget* parent)
    : QWidget(parent)
    , permission_(permission)
    , statusColumn_(new QWidget(this))
    , statusLayout_(new QVBoxLayout(statusColumn_))
    , action_(new ProminentButton(QString(), this))
    , notice_(OnboardingStyle::footnote(QString(), this))
{
    const PermissionTexts texts = textsOf(permission, hotkeyName);
    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(28);
    statusColumn_->setFixedWidth(120);
    statusLayout_->setContentsMargins(0, 0, 0, 0);
    statusLayout_->setSpacing(12);
    page->addWidget(statusColumn_, 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    column->setSpacing(14);
    column->addWidget(headingLabel(title(permission), 22, this));
    column->addWidget(OnboardingStyle::subtitle(rationale(permission), this));
    auto* box = new TintedGround(10, 0.08, this);
    auto* rows = new QVBoxLayout(box);
    rows->setContentsMargins(14, 14, 14, 14);
    rows->setSpacing(10);
    rows->addWidget(new OnboardingBenefitRow(QStringLiteral("checkmark.seal.fill"), &WindowTheme::green,
                                             QStringLiteral("开启后"), texts.gained, box));
    rows->addWidget(new OnboardingBenefitRow(QStringLiteral("exclamationmark.triangle.fill"), &WindowTheme::orange,
                                             QStringLiteral("不开的话"), texts.lost, box));
    column->addWidget(box);
    auto* actionRow = new QHBoxLayout;
    actionRow->addStretch();
    actionRow->addWidget(action_);
    column->addLayout(actionRow);
    column->addWidget(notice_);
    column->addStretch();
    page->addLayout(column, 1);

    connect(action_, &QPushButton::clicked, this, [&vm, permission] { vm.requestPermission(permission); });
    const QString note = standingNote(permission, vm.checker());
    notices_ = vm.notice.subscribe([this, note](const QString& notice) {
        notice_->setText(notice.isEmpty() ? note : notice);
        notice_->setVisible(!notice_->text().isEmpty());
    });
    const auto statusIn = [permission](const PermissionStatuses& statuses) {
        return statuses.value(permission, VellamorPermissionStatus::notDetermined);
    };
    showStatus(statusIn(vm.statuses.value()));
    statuses_ = vm.statuses.subscribeQueued(this, [this, statusIn](const PermissionStatuses& statuses) {
        if (statusIn(statuses) != shown_)
            showStatus(statusIn(statuses));
    });
}

void OnboardingPermissionStepPage::showStatus(VellamorPermissionStatus status)
{
    shown_ = status;
    clearLayout(statusLayout_);
    statusLayout_->addWidget(new StatusBadge(symbolName(permission_), status, statusColumn_), 0,
                             Qt::AlignHCenter);
    statusLayout_->addWidget(new OnboardingStatusTag(status, statusColumn_), 0, Qt::AlignHCenter);
    action_->setText(actionTitle(status));
    action_->setEnabled(status != VellamorPermissionStatus::granted);
}

} // namespace vellamor
