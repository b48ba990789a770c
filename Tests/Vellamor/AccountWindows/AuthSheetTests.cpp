#include "AccountWindows/AuthSheet.h"
#include "AccountWindows/AuthSheetPresenter.h"
#include "Auth/AuthSession.h"
#include "Auth/KeychainStatus.h"
#include "Networking/AuthAPI.h"
#include "Settings/UserDefaults.h"
#include "SettingsWindow/ThemeManager.h"

#include "AccountActions.h"
#include "InMemorySecureItemStore.h"
#include "LiveServerFixture.h"
#include "ManualSteadyClock.h"
#include "WaitUntil.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vellamor;
using namespace std::chrono_literals;
using devbackend::AccountActions;
using vellamor::test::InMemorySecureItemStore;
using vellamor::test::LiveServerTest;
using vellamor::test::ManualSteadyClock;
using vellamor::test::waitUntil;
using Step = AuthSheetState::Step;

namespace {

// The sheet as a user drives it, with the real client and session against
// the development backend; the keyring is in memory, the countdown on
// manual time.
class AuthSheetLive : public LiveServerTest {
protected:
    void SetUp() override
    {
        LiveServerTest::SetUp();
        accounts = AccountActions::install(server);
        api = std::make_shared<AuthAPI>(server.baseURL(), makeSession());
        auto keychain = std::make_shared<KeychainStore>(
            keyring, QStringLiteral("com.vellamor.app.auth"), QStringLiteral("session"));
        session = std::make_shared<AuthSession>(api, keychain,
            VellamorLog(QStringLiteral("t"), QStringLiteral("auth"), nullptr, nullptr), &Date::now, defaults);
        presenter = std::make_unique<AuthSheetPresenter>(api, session, clock.sleeper());
        sheet = presenter->present();
        ASSERT_TRUE(waitUntil([this] { return sheet->isVisible(); }));
    }

    // A countdown cut short ends on a later turn of the loop.
    void TearDown() override
    {
        presenter.reset();
        vellamor::test::afterQueuedCalls();
    }

    const AuthSheetState& state() const { return sheet->viewModel().state.value(); }
    template<typename W>
    W* find(const QString& name) const
    {
        return sheet->findChild<W*>(name);
    }

    // Replaces the field's text as typing or pasting would.
    void type(const QString& field, const QString& text) const
    {
        auto* edit = find<QLineEdit>(field);
        edit->selectAll();
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(edit, &key);
    }
    void pressReturn(const QString& field) const
    {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(find<QLineEdit>(field), &key);
    }
    void click(const QString& button) const { find<QPushButton>(button)->click(); }
    bool settled() const { return !state().isBusy; }
    QString primaryText() const { return find<QPushButton>(QStringLiteral("primary"))->text(); }
    QString shownError() const
    {
        auto* label = find<QLabel>(QStringLiteral("error"));
        return label->isVisible() ? label->text() : QString();
    }

    // Up to the code step for `email`, through the primary button.
    void requestCode(const QString& email)
    {
        type(QStringLiteral("email"), email);
        pressReturn(QStringLiteral("email"));
        ASSERT_TRUE(waitUntil([this] { return settled(); }));
        ASSERT_EQ(state().step, Step::enterCode) << shownError().toStdString();
    }
    QString mailedCode(const QString& email) const { return accounts->lastCode(email).value_or(QString()); }

    // Saved as `<name>-light.png` and `<name>-dark.png` in
    // $VELLAMOR_SCREENSHOT_DIR for a reviewer.
    void screenshot(const QString& name) const
    {
        const QString folder = qEnvironmentVariable("VELLAMOR_SCREENSHOT_DIR");
        if (folder.isEmpty() || !QDir().mkpath(folder))
            return;
        ThemeManager theme(defaults, nullptr);
        for (const ThemeMode mode : {ThemeMode::light, ThemeMode::dark}) {
            theme.setMode(mode);
            QCoreApplication::processEvents();
            sheet->grab().save(
                folder + QStringLiteral("/auth-sheet-") + name + u'-' + rawValue(mode) + QStringLiteral(".png"));
        }
        theme.setMode(ThemeMode::system);
        QCoreApplication::processEvents();
    }

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini")));
    std::shared_ptr<InMemorySecureItemStore> keyring = std::make_shared<InMemorySecureItemStore>();
    std::shared_ptr<AccountActions> accounts;
    std::shared_ptr<AuthAPI> api;
    std::shared_ptr<AuthSession> session;
    ManualSteadyClock clock;
    std::unique_ptr<AuthSheetPresenter> presenter;
    QPointer<AuthSheet> sheet;
};

TEST_F(AuthSheetLive, RegistersWithTheMailedCodeAndClosesItself)
{
    screenshot(QStringLiteral("1-email"));
    EXPECT_EQ(sheet->focusWidget(), find<QLineEdit>(QStringLiteral("email")));
    requestCode(QStringLiteral("  new@x.io "));
    // The server saw the trimmed address.
    const QString code = mailedCode(QStringLiteral("new@x.io"));
    ASSERT_EQ(code.size(), 6);
    EXPECT_EQ(find<QLabel>(QStringLiteral("title"))->text(), QStringLiteral("欢迎使用 Vellamor"));
    EXPECT_EQ(primaryText(), QStringLiteral("注册并登录"));
    EXPECT_EQ(find<QPushButton>(QStringLiteral("resend"))->text(), QStringLiteral("重新发送（60s）"));
    EXPECT_FALSE(find<QPushButton>(QStringLiteral("resend"))->isEnabled());
    EXPECT_FALSE(find<QLineEdit>(QStringLiteral("email"))->isEnabled());
    EXPECT_EQ(sheet->focusWidget(), find<QLineEdit>(QStringLiteral("code")));

    // Full-width digits, as an input method may give them, reach the server as ASCII.
    QString wide;
    for (QChar digit : code)
        wide.append(QChar(char16_t(0xFF10 + digit.digitValue())));
    type(QStringLiteral("code"), wide);
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("code"))->text(), code);
    screenshot(QStringLiteral("2-code"));
    pressReturn(QStringLiteral("code"));
    ASSERT_TRUE(waitUntil([this] { return !sheet; }));
    ASSERT_TRUE(session->currentState().isAuthenticated());
    EXPECT_EQ(session->currentState().me()->email, QStringLiteral("new@x.io"));
    EXPECT_TRUE(defaults->boolValue(AuthSession::justRegisteredKey()));
}

TEST_F(AuthSheetLive, FailuresShowTheirTextAndKeepTheInput)
{
    const auto refuseWrites = [this] {
        for (auto variant : {SecureItemStore::Variant::dataProtection, SecureItemStore::Variant::file})
            keyring->setWriteStatus(variant, KeychainStatus::interactionNotAllowed);
    };
    const struct {
        const char* name;
        bool wrongCode;
        std::function<void()> arrange;
        QString error;
    } cases[] = {
        { "wrong code", true, [] {}, QStringLiteral("验证码错误，请重新输入") },
        { "expired code", false, [this] { accounts->expireCodes(); }, QStringLiteral("验证码已过期，请重新发送") },
        { "keyring refuses", false, refuseWrites,
            AuthAPIError::keychainWriteFailed(KeychainStatus::interactionNotAllowed).errorDescription() },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString email = QString::fromUtf8(c.name).remove(u' ') + QStringLiteral("@x.io");
        click(QStringLiteral("changeEmail"));
        requestCode(email);
        c.arrange();
        const QString code = mailedCode(email);
        const QString typed = c.wrongCode ? QString::number((code.toInt() + 1) % 1000000).rightJustified(6, u'0') : code;
        type(QStringLiteral("code"), typed);
        click(QStringLiteral("primary"));
        ASSERT_TRUE(waitUntil([this] { return settled(); }));
        EXPECT_EQ(shownError(), c.error);
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(state().step, Step::enterCode);
        EXPECT_EQ(state().code, typed);
        EXPECT_FALSE(session->currentState().isAuthenticated());
        // Editing keeps the error line.
        type(QStringLiteral("code"), QStringLiteral("1"));
        EXPECT_EQ(shownError(), c.error);
        screenshot(QStringLiteral("3-error"));
    }

}

TEST_F(AuthSheetLive, CountdownTicksOnTheSleepAndResendKeepsTheTypedCode)
{
    requestCode(QStringLiteral("a@x.io"));
    type(QStringLiteral("code"), QStringLiteral("12"));
    for (int left = 59; left >= 0; --left) {
        clock.advance(1s);
        ASSERT_TRUE(waitUntil([&] { return state().resendCountdown == left; })) << left;
    }
    auto* resend = find<QPushButton>(QStringLiteral("resend"));
    EXPECT_EQ(resend->text(), QStringLiteral("重新发送验证码"));
    ASSERT_TRUE(resend->isEnabled());

    accounts->fail({ QStringLiteral("auth.requestCode"), 42901, QStringLiteral("slow down"), 200, 1 });
    resend->click();
    ASSERT_TRUE(waitUntil([this] { return settled(); }));
    EXPECT_EQ(shownError(), QStringLiteral("请求过于频繁，请稍后再试"));
    EXPECT_EQ(state().resendCountdown, 0);
    EXPECT_TRUE(resend->isEnabled());

    resend->click();
    ASSERT_TRUE(waitUntil([this] { return settled(); }));
    EXPECT_EQ(state().resendCountdown, 60);
    EXPECT_EQ(state().step, Step::enterCode);
    EXPECT_EQ(state().code, QStringLiteral("12"));

    // Changing the address leaves purpose and countdown running.
    click(QStringLiteral("changeEmail"));
    clock.advance(1s);
    ASSERT_TRUE(waitUntil([this] { return state().resendCountdown == 59; }));
    EXPECT_EQ(state().pendingPurpose, QStringLiteral("register"));
    EXPECT_EQ(state().code, QString());
}

TEST_F(AuthSheetLive, TabsKeepAddressAndPasswordAndThePasswordRoadSignsIn)
{
    accounts->addUser(QStringLiteral("old@x.io"), QStringLiteral("password1"));
    requestCode(QStringLiteral("old@x.io"));
    type(QStringLiteral("code"), QStringLiteral("123"));

    click(QStringLiteral("passwordTab"));
    EXPECT_EQ(state().step, Step::enterEmail);
    EXPECT_EQ(state().code, QString());
    EXPECT_EQ(state().pendingPurpose, QString());
    EXPECT_EQ(state().resendCountdown, 0);
    const int sleeps = clock.sleepsBegun();
    clock.advance(1s);
    EXPECT_EQ(state().resendCountdown, 0);
    EXPECT_EQ(clock.sleepsBegun(), sleeps);
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("email"))->text(), QStringLiteral("old@x.io"));
    type(QStringLiteral("password"), QStringLiteral("password1"));
    click(QStringLiteral("emailCodeTab"));
    click(QStringLiteral("passwordTab"));
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("password"))->text(), QStringLiteral("password1"));
    screenshot(QStringLiteral("4-password"));

    // While the session is stored the sheet can be neither used nor cancelled.
    keyring->setLatency(100ms);
    click(QStringLiteral("primary"));
    EXPECT_EQ(primaryText(), QStringLiteral("处理中…"));
    EXPECT_FALSE(find<QPushButton>(QStringLiteral("cancel"))->isEnabled());
    sheet->reject();
    EXPECT_TRUE(sheet->isVisible());
    ASSERT_TRUE(waitUntil([this] { return !sheet; }));
    EXPECT_EQ(session->currentState().me()->email, QStringLiteral("old@x.io"));
}

} // namespace
