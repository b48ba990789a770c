#include "FakeAuthAPI.h"
#include "FakeInputSourceAPI.h"
#include "InMemorySecureItemStore.h"
#include "QtPrinters.h"
#include "WaitUntil.h"
#include "WidgetRendering.h"

#include "Auth/AuthSession.h"
#include "InputSources/InputSourceCard.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"
#include "Windows/SymbolView.h"
#include "Windows/WindowTheme.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

InputSource source(qint64 id, const QString& kind, const QString& friendlyName, const QString& name,
                   const QString& status, std::optional<Date> lastUsedAt = std::nullopt)
{
    return InputSource{id, kind, name, friendlyName, status, Date(Date::now().secondsSince1970() - 3600), lastUsedAt};
}

// The card over a real session whose sign-in client is scripted; the card's
// calls wait until the test answers them. A sheet gets a client of its own.
class InputSourceCardTest : public ::testing::Test {
protected:
    ~InputSourceCardTest() override
    {
        card.reset();
        api->failWaiting();
        sheetAPI->failWaiting();
        settleWidgets();
    }

    void signIn()
    {
        const AuthMe me{42, u"me@x.io"_s, u"zh-CN"_s, Date::fromUnixSeconds(1'700'000'000), std::nullopt};
        auth->succeed(FakeAuthAPI::Op::verifyUnifiedCode,
                      VerifyCodeResponse{{u"at"_s, u"rt"_s, Date::fromUnixSeconds(4'000'000'000)}, me, false});
        runBlocking(session->loginWithUnifiedCode(me.email, u"123456"_s));
        settleWidgets();
    }
    void openCard()
    {
        card = std::make_unique<InputSourceCard>(
            [this] { return clients++ == 0 ? api : sheetAPI; }, session->publisher(),
            [this](QObject* receiver, std::function<void()> slot) {
                QObject::connect(&listChanged, &QTimer::timeout, receiver, std::move(slot));
            });
        card->resize(460, 300);
        card->show();
        settleWidgets();
    }
    void answerList(const QList<InputSource>& sources)
    {
        ASSERT_FALSE(api->lists.calls.isEmpty());
        api->lists.answer(api->lists.calls.size() - 1, sources);
        settleWidgets();
    }
    QStringList texts() { return shownTexts(*card, standardText); }
    QLabel* label(const QString& name) { return card->findChild<QLabel*>(name); }
    // The "撤销" buttons, top to bottom.
    std::vector<QPushButton*> revokeButtons()
    {
        std::vector<QPushButton*> found;
        for (QPushButton* button : shownInReadingOrder<QPushButton>(*card)) {
            if (button->text() == u"撤销"_s)
                found.push_back(button);
        }
        return found;
    }
    qsizetype busyRows() { return qsizetype(shownInReadingOrder<QProgressBar>(*card).size()); }

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(u"d.ini"_s));
    std::shared_ptr<FakeAuthAPI> auth = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<AuthSession> session = std::make_shared<AuthSession>(
        auth, std::make_shared<KeychainStore>(std::make_shared<InMemorySecureItemStore>(), u"a"_s, u"s"_s),
        VellamorLog(u"t"_s, u"auth"_s, nullptr, nullptr), &Date::now, defaults);
    std::shared_ptr<FakeInputSourceAPI> api = std::make_shared<FakeInputSourceAPI>();
    std::shared_ptr<FakeInputSourceAPI> sheetAPI = std::make_shared<FakeInputSourceAPI>();
    int clients = 0;
    QTimer listChanged;
    std::unique_ptr<InputSourceCard> card;
};

// Names fall back by kind, revoked sources are left out (exactly
// "revoked"), only "pending" has a pill, and what a phone calls itself is
// shown as it came.
TEST_F(InputSourceCardTest, EachSourceShowsItsNameIconAndState)
{
    signIn();
    openCard();
    answerList({
        source(1, u"web"_s, QString(), QString(), u"active"_s),
        source(2, u"ime"_s, QString(), QString(), u"pending"_s, Date(Date::now().secondsSince1970() - 60)),
        source(3, u"watch"_s, QString(), QString(), u"active"_s),
        source(4, u"web"_s, QString(), u"Chrome"_s, u"Revoked"_s),
        source(5, u"web"_s, u"<b>Pixel</b><a href=\"https://x.io\">x</a>"_s, u"Chrome"_s, u"Pending"_s),
        source(6, u"web"_s, u"Gone"_s, QString(), u"revoked"_s),
    });
    QStringList names;
    for (QLabel* name : shownInReadingOrder<QLabel>(*card)) {
        if (name->objectName() == u"sourceName"_s) {
            names.append(name->text());
            EXPECT_EQ(name->textFormat(), Qt::PlainText);
        }
    }
    EXPECT_EQ(names, (QStringList{u"手机浏览器"_s, u"输入法"_s, u"输入源"_s, u"Chrome"_s,
                                  u"<b>Pixel</b><a href=\"https://x.io\">x</a>"_s}));
    QStringList icons;
    for (SymbolView* icon : shownInReadingOrder<SymbolView>(*card))
        icons.append(icon->name());
    EXPECT_EQ(icons, (QStringList{u"safari"_s, u"keyboard"_s, u"microphone"_s, u"safari"_s, u"safari"_s}));
    const QStringList shown = texts();
    EXPECT_EQ(shown.count(u"待确认"_s), 1);
    EXPECT_EQ(shown.indexOf(u"待确认"_s), shown.indexOf(u"输入法"_s) + 1);
    EXPECT_EQ(shown.filter(u"绑定于 "_s).size(), 5);
    EXPECT_EQ(shown.filter(u" · 最后使用 "_s).size(), 1);
    EXPECT_EQ(revokeButtons().size(), 5u);
    renderView(*card, u"input-source-card"_s);
}

// Loading shows only over an empty list; a failed reload or revocation
// keeps the rows and shows its error; the progress follows the revocation
// started last and the first to end clears it; signing out empties the
// card without a request.
TEST_F(InputSourceCardTest, LoadingFailuresRevocationsAndSigningOut)
{
    openCard();
    EXPECT_TRUE(api->lists.calls.isEmpty());
    EXPECT_TRUE(texts().contains(u"尚未绑定输入源，点击右上角添加"_s));
    EXPECT_FALSE(card->findChild<QPushButton*>()->isEnabled());

    signIn();
    ASSERT_EQ(api->lists.calls.size(), 1);
    EXPECT_TRUE(texts().contains(u"正在加载…"_s));
    EXPECT_TRUE(card->findChild<QPushButton*>()->isEnabled());
    answerList({source(1, u"web"_s, u"A"_s, QString(), u"active"_s), source(2, u"web"_s, u"B"_s, QString(), u"active"_s)});
    EXPECT_FALSE(texts().contains(u"正在加载…"_s));

    listChanged.timeout({});
    ASSERT_EQ(api->lists.calls.size(), 2);
    settleWidgets();
    EXPECT_FALSE(texts().contains(u"正在加载…"_s));
    api->lists.fail(1, InputSourceAPIError::transport(u"offline"_s));
    settleWidgets();
    const QString offline = InputSourceAPIError::transport(u"offline"_s).errorDescription();
    EXPECT_EQ(label(u"error"_s)->text(), offline);
    EXPECT_EQ(label(u"error"_s)->palette().color(QPalette::WindowText), WindowTheme::orange());
    EXPECT_EQ(revokeButtons().size(), 2u);

    revokeButtons()[0]->click();
    settleWidgets();
    EXPECT_EQ(busyRows(), 1);
    revokeButtons()[0]->click();
    settleWidgets();
    EXPECT_EQ(api->revokedIDs, (QList<qint64>{1, 2}));
    EXPECT_EQ(card->viewModel().revokingID.value(), 2);
    api->revocations.answer(0, true);
    settleWidgets();
    EXPECT_EQ(busyRows(), 0);
    EXPECT_FALSE(label(u"error"_s)->isVisibleTo(card.get()));
    EXPECT_FALSE(texts().contains(u"A"_s));
    api->revocations.fail(1, InputSourceAPIError::missingToken());
    settleWidgets();
    EXPECT_TRUE(texts().contains(u"B"_s));
    EXPECT_EQ(label(u"error"_s)->text(), InputSourceAPIError::missingToken().errorDescription());
    EXPECT_EQ(api->lists.calls.size(), 2) << "a revocation reloads nothing";

    auth->succeed(FakeAuthAPI::Op::logout);
    runBlocking(session->logout());
    settleWidgets();
    EXPECT_EQ(api->lists.calls.size(), 2);
    EXPECT_TRUE(texts().contains(u"尚未绑定输入源，点击右上角添加"_s));
    EXPECT_FALSE(label(u"error"_s)->isVisibleTo(card.get()));
    EXPECT_FALSE(card->findChild<QPushButton*>()->isEnabled());
}

// The add button opens the sheet with a client of its own; closing the
// sheet reloads the card.
TEST_F(InputSourceCardTest, ClosingThePairingSheetReloadsTheCard)
{
    signIn();
    openCard();
    answerList({});
    card->findChild<QPushButton*>()->click();
    settleWidgets();
    ASSERT_NE(card->openSheet(), nullptr);
    EXPECT_EQ(sheetAPI->pairings.calls.size(), 1);
    EXPECT_EQ(api->lists.calls.size(), 1);
    card->openSheet()->reject();
    settleWidgets();
    EXPECT_EQ(api->lists.calls.size(), 2);
    EXPECT_EQ(card->openSheet(), nullptr);
}

} // namespace
} // namespace vellamor::test
