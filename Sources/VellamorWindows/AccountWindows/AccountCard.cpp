#include "AccountWindows/AccountCard.h"

#include "AccountWindows/AuthSheetPresenter.h"
#include "AccountWindows/RelativeTimeText.h"
#include "Auth/AuthSession.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/MainThread.h"
#include "Support/Async/Spawn.h"
#include "Windows/ProminentButton.h"
#include "Windows/SymbolView.h"
#include "Windows/ThemedLabel.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace vellamor {

namespace {

// The card's faces lead with a heading this size.
constexpr double headingSize = 13;

QLabel* heading(const QString& content, QWidget* parent)
{
    return headingLabel(content, headingSize, parent);
}

// The row every face shares: symbol, heading over a caption, space, button.
QHBoxLayout* faceRow(QWidget* icon, QLabel* heading, QLabel* detail, QPushButton* button)
{
    auto* words = new QVBoxLayout();
    words->setSpacing(3);
    words->addWidget(heading);
    words->addWidget(detail);
    auto* row = new QHBoxLayout();
    row->setSpacing(14);
    row->addWidget(icon);
    row->addLayout(words, 1);
    row->addWidget(button);
    return row;
}

QWidget* faceWidget(QLayout* content, QWidget* parent)
{
    auto* widget = new QWidget(parent);
    widget->setLayout(content);
    content->setContentsMargins(0, 0, 0, 0);
    return widget;
}

} // namespace

AccountCard::AccountCard(std::shared_ptr<AuthSession> session, AuthSheetPresenter& signIn,
                         std::shared_ptr<UserDefaults> defaults, QWidget* parent)
    : QWidget(parent)
    , session_(std::move(session))
    , signIn_(signIn)
    , defaults_(std::move(defaults))
{
    faces_ = new QStackedLayout(this);
    faces_->setContentsMargins(0, 0, 0, 0);

    auto* signInButton = new ProminentButton(QStringLiteral("登录 / 注册"), this);
    signInButton->setObjectName(QStringLiteral("signIn"));
    signedOutFace_ = faceWidget(
        faceRow(new SymbolView(QStringLiteral("person.crop.circle"), 38, &WindowTheme::secondary, this),
            heading(QStringLiteral("未登录"), this),
            captionLabel(QStringLiteral("登录后同步历史记录与个人词典，跨设备无缝继续"), this), signInButton),
        this);

    auto* again = new ProminentButton(QStringLiteral("重新登录"), this);
    again->setObjectName(QStringLiteral("signInAgain"));
    failureMessage_ = captionLabel(QString(), this);
    failureMessage_->setObjectName(QStringLiteral("failureMessage"));
    failureMessage_->setWordWrap(true);
    auto* warning = new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 32, &WindowTheme::orange, this);
    failureFace_
        = faceWidget(faceRow(warning, heading(QStringLiteral("上次登录已失效"), this), failureMessage_, again), this);

    welcome_ = new ThemedLabel(
        QStringLiteral("欢迎加入 Vellamor，你的账号已创建"), WindowTheme::captionFont(), &WindowTheme::green, this);
    welcome_->setObjectName(QStringLiteral("welcome"));
    email_ = heading(QString(), this);
    email_->setObjectName(QStringLiteral("email"));
    lastLogin_ = captionLabel(QString(), this);
    lastLogin_->setObjectName(QStringLiteral("lastLogin"));
    signOut_ = new QPushButton(this);
    signOut_->setObjectName(QStringLiteral("signOut"));
    auto* signedIn = new QVBoxLayout();
    signedIn->setSpacing(6);
    signedIn->addWidget(welcome_);
    signedIn->addLayout(
        faceRow(new SymbolView(QStringLiteral("person.crop.circle.fill"), 38, &WindowTheme::accent, this), email_,
            lastLogin_, signOut_));
    signedInFace_ = faceWidget(signedIn, this);

    faces_->addWidget(signedOutFace_);
    faces_->addWidget(failureFace_);
    faces_->addWidget(signedInFace_);

    connect(signInButton, &QPushButton::clicked, this, [this] { signIn_.present(this); });
    connect(again, &QPushButton::clicked, this, &AccountCard::signInAgain);
    connect(signOut_, &QPushButton::clicked, this, &AccountCard::signOut);

    // The session publishes the state first and the error second; each
    // arrives before its field holds it, so the card keeps its own copies.
    const std::shared_ptr<AuthSessionObserver>& observer = session_->publisher();
    bootstrapError_ = observer->lastBootstrapError();
    stateSubscription_ = observer->subscribeState([this](const AuthState& state) {
        state_ = state;
        render();
    });
    errorSubscription_ = observer->subscribeLastBootstrapError([this](const std::optional<AuthAPIError>& error) {
        bootstrapError_ = error;
        render();
    });
}

AccountCard::~AccountCard()
{
    stateSubscription_.cancel();
    errorSubscription_.cancel();
}

void AccountCard::render()
{
    const Face previous = face_;
    if (state_.isAuthenticated())
        face_ = Face::signedIn;
    else
        face_ = bootstrapError_ ? Face::startupFailure : Face::signedOut;

    signOut_->setText(loggingOut_ ? QStringLiteral("正在退出…") : QStringLiteral("退出登录"));
    signOut_->setEnabled(!loggingOut_);
    welcome_->setVisible(justRegistered_);
    if (face_ == Face::signedIn) {
        // Once the face is up: the session marks a registration only after
        // it has published the signed-in state.
        if (previous != Face::signedIn) {
            QPointer<AccountCard> self(this);
            postTo(this, [self] {
                if (self && self->face_ == Face::signedIn)
                    self->readJustRegistered();
            });
        }
        const AuthMe& me = *state_.me();
        email_->setText(me.email);
        lastLogin_->setText(lastLoginText(me, Date::now()));
        faces_->setCurrentWidget(signedInFace_);
    } else if (face_ == Face::startupFailure) {
        failureMessage_->setText(bootstrapErrorMessage(*bootstrapError_));
        faces_->setCurrentWidget(failureFace_);
    } else {
        faces_->setCurrentWidget(signedOutFace_);
    }
}

void AccountCard::readJustRegistered()
{
    if (!defaults_->boolValue(AuthSession::justRegisteredKey()))
        return;
    justRegistered_ = true;
    defaults_->remove(AuthSession::justRegisteredKey());
    welcome_->setVisible(true);
}

void AccountCard::signOut()
{
    loggingOut_ = true;
    render();
    QPointer<AccountCard> self(this);
    const std::shared_ptr<AuthSession> session = session_;
    spawn(this, QStringLiteral("account card sign-out"), [self, session](std::stop_token) -> QCoro::Task<void> {
        co_await session->logout();
        if (!self)
            co_return;
        self->loggingOut_ = false;
        self->render();
    });
}

void AccountCard::signInAgain()
{
    const std::shared_ptr<AuthSession> session = session_;
    spawn(this, QStringLiteral("account card clears the start-up failure"),
        [session](std::stop_token) -> QCoro::Task<void> { co_await session->clearBootstrapError(); });
    signIn_.present(this);
}

QString AccountCard::lastLoginText(const AuthMe& me, Date now)
{
    if (!me.lastLoginAt)
        return QStringLiteral("首次登录");
    return QStringLiteral("上次登录 ") + relativeTimeText(*me.lastLoginAt, now);
}

QString AccountCard::bootstrapErrorMessage(const AuthAPIError& error)
{
    using Kind = AuthAPIError::Kind;
    switch (error.kind()) {
    case Kind::userBanned:
        return error.text().isEmpty() ? QStringLiteral("该账号已被封禁，如有疑问请联系支持")
                                      : QStringLiteral("该账号已被封禁：") + error.text();
    case Kind::network:
        return QStringLiteral("无法连接到 Vellamor 服务（") + error.text() + QStringLiteral("），请检查网络后重试");
    case Kind::tokenInvalid:
    case Kind::unauthorized:
        return QStringLiteral("登录凭据已被撤销或失效，请重新登录");
    case Kind::tokenExpired:
        return QStringLiteral("登录凭据已过期，请重新登录以继续同步");
    default:
        break;
    }
    const QString description = error.errorDescription();
    return description.isEmpty() ? QStringLiteral("登录会话已失效，请重新登录") : description;
}

} // namespace vellamor
