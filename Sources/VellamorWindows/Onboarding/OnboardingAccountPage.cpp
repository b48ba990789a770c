#include "Onboarding/OnboardingAccountPage.h"

#include "Auth/AuthSessionObserver.h"
#include "Onboarding/OnboardingBenefitRow.h"
#include "Onboarding/OnboardingStyle.h"
#include "Windows/PaintKit.h"
#include "Windows/ProminentButton.h"
#include "Windows/SymbolView.h"
#include "Windows/TintedGround.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace vellamor {

namespace {

// A green capsule with a faint outline around what it holds.
class SignedInBadge final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const QPainterPath path = PaintKit::continuousRoundedRect(capsule, capsule.height() / 2);
        painter.fillPath(path, PaintKit::withOpacity(WindowTheme::green(), 0.14));
        painter.strokePath(path, QPen(PaintKit::withOpacity(WindowTheme::green(), 0.35), 1));
    }
};

} // namespace

OnboardingAccountPage::OnboardingAccountPage(AuthSessionObserver& auth, std::function<void(QWidget*)> presentSignIn,
                                             QWidget* parent)
    : QWidget(parent)
    , icon_(new SymbolView(QStringLiteral("person.crop.circle.badge.checkmark"), 40, &WindowTheme::blue, this))
    , heading_(headingLabel(QString(), 22, this))
    , subtitle_(OnboardingStyle::subtitle(QString(), this))
    , signIn_(new ProminentButton(QStringLiteral("登录 / 注册"), this))
    , badge_(new SignedInBadge(this))
    , badgeText_(new ThemedLabel(QString(), WindowTheme::font(13, QFont::Medium), &WindowTheme::primary, badge_))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(18);
    icon_->setFixedSize(40, 40);
    column->addWidget(icon_, 0, Qt::AlignLeft);
    column->addWidget(heading_);
    column->addWidget(subtitle_);

    auto* box = new TintedGround(10, 0.08, this);
    auto* benefits = new QVBoxLayout(box);
    benefits->setContentsMargins(14, 14, 14, 14);
    benefits->addWidget(new OnboardingBenefitRow(
        QStringLiteral("arrow.triangle.2.circlepath"), &WindowTheme::green, QStringLiteral("同步准备"),
        QStringLiteral("登录后才能归属用量，并在后续同步词典、历史和输入源。"), box));
    column->addWidget(box);

    auto* badgeRow = new QHBoxLayout(badge_);
    badgeRow->setContentsMargins(18, 12, 18, 12);
    badgeRow->setSpacing(8);
    auto* check = new SymbolView(QStringLiteral("checkmark.circle.fill"), 14, &WindowTheme::green, badge_);
    check->setFixedSize(16, 16);
    badgeRow->addWidget(check);
    badgeRow->addWidget(badgeText_);
    signIn_->setSymbol(QStringLiteral("person.crop.circle.badge.plus"), 15);
    auto* control = new QHBoxLayout;
    control->addStretch();
    control->addWidget(badge_);
    control->addWidget(signIn_);
    control->addStretch();
    column->addLayout(control);
    column->addStretch();
    column->addWidget(OnboardingStyle::footnote(
        QStringLiteral("登录完成后再进入试录；未登录时 Vellamor 不会启动麦克风和识别服务。"), this));

    connect(signIn_, &QPushButton::clicked, this, [this, presentSignIn = std::move(presentSignIn)] {
        if (presentSignIn)
            presentSignIn(this);
    });
    state_ = auth.subscribeState([this](const AuthState& state) { showState(state); });
}

void OnboardingAccountPage::showState(const AuthState& state)
{
    const bool signedIn = state.isAuthenticated();
    icon_->setInk(signedIn ? &WindowTheme::green : &WindowTheme::blue);
    heading_->setText(signedIn ? QStringLiteral("账户已准备好") : QStringLiteral("登录或注册 Vellamor"));
    subtitle_->setText(signedIn
                           ? QStringLiteral("接下来试说第一句话，Vellamor 会把识别结果写进当前光标位置。")
                           : QStringLiteral("语音识别需要登录后使用。") + QStringLiteral("输入邮箱即可登录或注册")
                                 + QStringLiteral("。"));
    badgeText_->setText(signedIn ? QStringLiteral("已登录为 ") + state.me()->email : QString());
    badge_->setVisible(signedIn);
    signIn_->setVisible(!signedIn);
}

} // namespace vellamor
