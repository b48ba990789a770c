#include "Appearances.h"
#include "FakeAuthAPI.h"
#include "FakeInputSourceAPI.h"
#include "InMemorySecureItemStore.h"
#include "QtPrinters.h"
#include "WaitUntil.h"
#include "WidgetRendering.h"

#include "Auth/AuthSession.h"
#include "InputSourceWindows/InputSourceCard.h"
#include "InputSourceWindows/InputSourceList.h"
#include "InputSourceWindows/PairingConfirmDialog.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"
#include "Windows/WindowTheme.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScreen>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>

#include <array>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

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
        page.reset();
        api->failWaiting();
        sheetAPI->failWaiting();
        settleWidgets();
    }

    void signIn()
    {
        const AuthMe me { 42, QStringLiteral("me@x.io"), QStringLiteral("zh-CN"), Date::fromUnixSeconds(1'700'000'000),
            std::nullopt };
        auth->succeed(FakeAuthAPI::Op::verifyUnifiedCode,
            VerifyCodeResponse {
                { QStringLiteral("at"), QStringLiteral("rt"), Date::fromUnixSeconds(4'000'000'000) }, me, false });
        runBlocking(session->loginWithUnifiedCode(me.email, QStringLiteral("123456")));
        settleWidgets();
    }
    // In a scrolling page, as the account page holds it.
    void openCard()
    {
        page = std::make_unique<QScrollArea>();
        page->setWidgetResizable(true);
        card = new InputSourceCard(
            [this] { return clients++ == 0 ? api : sheetAPI; }, session->publisher(),
            [this](QObject* receiver, std::function<void()> slot) {
                QObject::connect(&listChanged, &QTimer::timeout, receiver, std::move(slot));
            });
        page->setWidget(card);
        page->resize(480, 300);
        page->show();
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
    InputSourceList& list() { return *card->findChild<InputSourceList*>(); }
    // The rows as painted, top to bottom; none while the list is hidden.
    std::vector<InputSourceRow::Layout> rows()
    {
        std::vector<InputSourceRow::Layout> shown;
        for (int row = 0; list().isVisibleTo(card) && row < list().sources().size(); ++row)
            shown.push_back(list().rowLayout(row));
        return shown;
    }
    QStringList names()
    {
        QStringList found;
        for (const InputSourceRow::Layout& row : rows())
            found.append(row.nameText);
        return found;
    }
    qsizetype revocable()
    {
        const std::vector<InputSourceRow::Layout> shown = rows();
        return std::ranges::count_if(shown, [](const auto& row) { return !row.button.isEmpty(); });
    }
    // Presses and releases the pointer on the first "撤销" that shows.
    void clickFirstRevoke()
    {
        for (const InputSourceRow::Layout& row : rows()) {
            if (row.button.isEmpty())
                continue;
            const QPointF centre = QRectF(row.button).center();
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QMouseEvent event(type, centre, list().viewport()->mapToGlobal(centre), Qt::LeftButton,
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(list().viewport(), &event);
            }
            return;
        }
        ADD_FAILURE() << "no 撤销 shows";
    }
    qsizetype busyRows() { return qsizetype(shownInReadingOrder<QProgressBar>(*card).size()); }

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini")));
    std::shared_ptr<FakeAuthAPI> auth = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<AuthSession> session = std::make_shared<AuthSession>(auth,
        std::make_shared<KeychainStore>(
            std::make_shared<InMemorySecureItemStore>(), QStringLiteral("a"), QStringLiteral("s")),
        VellamorLog(QStringLiteral("t"), QStringLiteral("auth"), nullptr, nullptr), &Date::now, defaults);
    std::shared_ptr<FakeInputSourceAPI> api = std::make_shared<FakeInputSourceAPI>();
    std::shared_ptr<FakeInputSourceAPI> sheetAPI = std::make_shared<FakeInputSourceAPI>();
    int clients = 0;
    QTimer listChanged;
    std::unique_ptr<QScrollArea> page;
    InputSourceCard* card = nullptr;
};

// Names fall back by kind, revoked sources are left out (exactly
// "revoked"), only "pending" has a pill, and what a phone calls itself is
// shown as it came.
TEST_F(InputSourceCardTest, EachSourceShowsItsNameIconAndState)
{
    signIn();
    openCard();
    answerList({
        source(1, QStringLiteral("web"), QString(), QString(), QStringLiteral("active")),
        source(2, QStringLiteral("ime"), QString(), QString(), QStringLiteral("pending"),
            Date(Date::now().secondsSince1970() - 60)),
        source(3, QStringLiteral("watch"), QString(), QString(), QStringLiteral("active")),
        source(4, QStringLiteral("web"), QString(), QStringLiteral("Chrome"), QStringLiteral("Revoked")),
        source(5, QStringLiteral("web"), QStringLiteral("<b>Pixel</b><a href=\"https://x.io\">x</a>"),
            QStringLiteral("Chrome"), QStringLiteral("Pending")),
        source(6, QStringLiteral("web"), QStringLiteral("Gone"), QString(), QStringLiteral("revoked")),
    });
    EXPECT_EQ(names(),
        (QStringList { QStringLiteral("手机浏览器"), QStringLiteral("输入法"), QStringLiteral("输入源"),
            QStringLiteral("Chrome"), QStringLiteral("<b>Pixel</b><a href=\"https://x.io\">x</a>") }));
    QStringList icons;
    QList<bool> pills;
    QStringList details;
    for (const InputSourceRow::Layout& row : rows()) {
        icons.append(row.symbol);
        pills.append(!row.pill.isEmpty());
        details.append(row.detailText);
    }
    EXPECT_EQ(icons,
        (QStringList { QStringLiteral("safari"), QStringLiteral("keyboard"), QStringLiteral("microphone"),
            QStringLiteral("safari"), QStringLiteral("safari") }));
    EXPECT_EQ(pills, (QList<bool> { false, true, false, false, false }));
    EXPECT_EQ(details.filter(QStringLiteral("绑定于 ")).size(), 5);
    EXPECT_EQ(details.filter(QStringLiteral(" · 最后使用 ")).size(), 1);
    EXPECT_EQ(revocable(), 5);
    renderInBothAppearances(*page, QStringLiteral("input-source-card"));
}

// Loading shows only over an empty list; a failed reload or revocation
// keeps the rows and shows its error; the progress follows the revocation
// started last and the first to end clears it; signing out empties the
// card without a request.
TEST_F(InputSourceCardTest, LoadingFailuresRevocationsAndSigningOut)
{
    openCard();
    EXPECT_TRUE(api->lists.calls.isEmpty());
    EXPECT_TRUE(texts().contains(QStringLiteral("尚未绑定输入源，点击右上角添加")));
    EXPECT_FALSE(card->findChild<QPushButton*>()->isEnabled());

    signIn();
    ASSERT_EQ(api->lists.calls.size(), 1);
    EXPECT_TRUE(texts().contains(QStringLiteral("正在加载…")));
    EXPECT_TRUE(card->findChild<QPushButton*>()->isEnabled());
    answerList({ source(1, QStringLiteral("web"), QStringLiteral("A"), QString(), QStringLiteral("active")),
        source(2, QStringLiteral("web"), QStringLiteral("B"), QString(), QStringLiteral("active")) });
    EXPECT_FALSE(texts().contains(QStringLiteral("正在加载…")));

    listChanged.timeout({});
    ASSERT_EQ(api->lists.calls.size(), 2);
    settleWidgets();
    EXPECT_FALSE(texts().contains(QStringLiteral("正在加载…")));
    api->lists.fail(1, InputSourceAPIError::transport(QStringLiteral("offline")));
    settleWidgets();
    const QString offline = InputSourceAPIError::transport(QStringLiteral("offline")).errorDescription();
    EXPECT_EQ(label(QStringLiteral("error"))->text(), offline);
    EXPECT_EQ(label(QStringLiteral("error"))->palette().color(QPalette::WindowText), WindowTheme::orange());
    EXPECT_EQ(revocable(), 2);

    clickFirstRevoke();
    settleWidgets();
    EXPECT_EQ(busyRows(), 1);
    // From the keyboard, as a focused button would.
    list().setCurrentIndex(list().model()->index(1, 0));
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(&list(), &space);
    settleWidgets();
    EXPECT_EQ(api->revokedIDs, (QList<qint64>{1, 2}));
    EXPECT_EQ(card->viewModel().revokingID.value(), 2);
    api->revocations.answer(0, true);
    settleWidgets();
    EXPECT_EQ(busyRows(), 0);
    EXPECT_FALSE(label(QStringLiteral("error"))->isVisibleTo(card));
    EXPECT_EQ(names(), QStringList { QStringLiteral("B") });
    api->revocations.fail(1, InputSourceAPIError::missingToken());
    settleWidgets();
    EXPECT_EQ(names(), QStringList { QStringLiteral("B") });
    EXPECT_EQ(revocable(), 1);
    EXPECT_EQ(label(QStringLiteral("error"))->text(), InputSourceAPIError::missingToken().errorDescription());
    EXPECT_EQ(api->lists.calls.size(), 2) << "a revocation reloads nothing";

    auth->succeed(FakeAuthAPI::Op::logout);
    runBlocking(session->logout());
    settleWidgets();
    EXPECT_EQ(api->lists.calls.size(), 2);
    EXPECT_TRUE(texts().contains(QStringLiteral("尚未绑定输入源，点击右上角添加")));
    EXPECT_TRUE(names().isEmpty());
    EXPECT_FALSE(label(QStringLiteral("error"))->isVisibleTo(card));
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

// A name or address from outside shows on one line, in the pairing dialog
// and in the card's rows, on screen and read out: line breaks marked,
// controls replaced, bidirectional controls, invisible format characters
// outside emoji and unpaired surrogates dropped, nothing cut. What shows
// nothing counts as missing.
TEST_F(InputSourceCardTest, AnOutsideNameShowsOnOneLineInTheDialogAndTheCard)
{
    struct Case {
        QString given;
        QString shown; // empty: stands in for a missing name
    };
    const QString longName = QString(300, u'x') + QStringLiteral("尾");
    static constexpr char16_t controls[] = u"Pix\0el\x01\x1b[1m\x7f\x80\x9f\tend";
    static constexpr char16_t loneSurrogates[] = { u'P', 0xD83D, u'i', 0xDC4D, u'x', 0xDC4D, 0xD83D, u'e', u'l', 0xD83D };
    // Family, skin tone and profession, rainbow flag, heart on fire, England's flag.
    const QString emoji = QStringLiteral(
        "👨‍👩‍👧 👨🏽‍💻 🏳️‍🌈 ❤️‍🔥 \U0001F3F4\U000E0067\U000E0062\U000E0065\U000E006E\U000E0067\U000E007F");
    const std::array cases {
        Case { QStringLiteral("Pixel 8"), QStringLiteral("Pixel 8") },
        Case { QStringLiteral("Pixel 8\n来源：192.168.1.20（本机）\n请求时间：09:00:00"),
            QStringLiteral("Pixel 8↵来源：192.168.1.20（本机）↵请求时间：09:00:00") },
        Case { QStringLiteral("a\r\nb\rc\vd\fe\u0085f\u2028g\u2029h"), QStringLiteral("a↵b↵c↵d↵e↵f↵g↵h") },
        Case { QString::fromUtf16(controls, std::size(controls) - 1),
            QStringLiteral("Pix\uFFFDel\uFFFD\uFFFD[1m\uFFFD\uFFFD\uFFFD end") },
        Case { QStringLiteral("\u202Eexe.Pixel\u202C \u202A\u202B\u202D\u2066\u2067\u2068\u2069\u200E\u200F\u061C!"),
            QStringLiteral("exe.Pixel !") },
        Case { QStringLiteral("\u202E\u2067\u200F"), QString() },
        Case { QStringLiteral("\uFEFFPix\u200Bel\u200C\u200D \u2060\u206A\u206F8\u00AD\uFFF9\uFFFA\uFFFB\u180E"),
            QStringLiteral("Pixel 8") },
        Case { QStringLiteral("Pixel\U000E0001\U000E0070\U000E0069\U000E007F 8\U000E007F"), QStringLiteral("Pixel 8") },
        Case { QString::fromUtf16(loneSurrogates, std::size(loneSurrogates)), QStringLiteral("Pixel") },
        Case { emoji, emoji },
        Case { QStringLiteral("a\u200Db 👩\u200Da \u200D👩 👩\u200D\u200D👩 👩\u200D"), QStringLiteral("ab 👩a 👩 👩👩 👩") },
        Case { QStringLiteral("\U0001F3F4\U000E0067\U000E0062 x\U000E0067\U000E007F"), QStringLiteral("\U0001F3F4 x") },
        Case { QStringLiteral("\u200B\uFEFF\U000E007F"), QString() },
        // Persian's non-joiner, a Malayalam chillu, a Devanagari eyelash ra,
        // the Arabic number signs.
        Case { QStringLiteral("می\u200Cخواهم അവന്\u200D र्\u200Dय \u0600١٢ \u06DD٣"),
            QStringLiteral("می\u200Cخواهم അവന്\u200D र्\u200Dय \u0600١٢ \u06DD٣") },
        Case { QStringLiteral("می\u200C خ\u200C\u200Cو x\u200Cy م\u200Cx ന\u200Dx \u200Cم"),
            QStringLiteral("می خو xy مx നx م") },
        Case { QStringLiteral("\U0001F3F4\U000E0067\U000E0062\U000E007F\U000E0067\U000E007F"),
            QStringLiteral("\U0001F3F4\U000E0067\U000E0062\U000E007F") },
        Case { longName, longName },
    };
    QList<InputSource> sources;
    for (const Case& c : cases)
        sources.append(source(sources.size() + 1, QStringLiteral("web"), c.given, QString(), QStringLiteral("active")));
    signIn();
    openCard();
    answerList(sources);
    QAccessibleInterface* rows = QAccessible::queryAccessibleInterface(&list());
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->childCount(), qsizetype(cases.size()));

    for (std::size_t row = 0; row < cases.size(); ++row) {
        const Case& c = cases[row];
        SCOPED_TRACE(c.shown.toStdString());
        const QString name = c.shown.isEmpty() ? QStringLiteral("手机浏览器") : c.shown;
        EXPECT_EQ(InputSourceRow::displayName(sources[qsizetype(row)]), name);
        EXPECT_THAT(rows->child(int(row))->text(QAccessible::Name).toStdString(),
            ::testing::StartsWith(QString(name + QStringLiteral(", 绑定于 ")).toStdString()));

        const PairingConfirmDialog dialog(PairingRequestPayload { 1, c.given, c.given, QStringLiteral("ua"), 0 });
        const QStringList lines = dialog.informativeText().split(u'\n');
        ASSERT_EQ(lines.size(), 5) << dialog.informativeText().toStdString();
        EXPECT_EQ(lines[0], QStringLiteral("设备：") + (c.shown.isEmpty() ? QStringLiteral("未知设备") : c.shown));
        EXPECT_EQ(lines[1], QStringLiteral("来源：") + (c.shown.isEmpty() ? QStringLiteral("未知网络") : c.shown));
        EXPECT_TRUE(lines[2].startsWith(QStringLiteral("请求时间：")));
        EXPECT_EQ(lines.mid(3),
            (QStringList { QString(), QStringLiteral("确认后该设备可将语音转写直接插入到本机当前光标位置。") }));
        const auto read = [&dialog] {
            for (QLabel* label : dialog.findChildren<QLabel*>()) {
                if (label->text().startsWith(QStringLiteral("设备：")))
                    return QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
            }
            return QString();
        };
        EXPECT_EQ(read(), dialog.informativeText());
        // Its buttons stay on the screen.
        EXPECT_LE(dialog.sizeHint().width(), QGuiApplication::primaryScreen()->availableGeometry().width());
    }
}

// Whatever the server lists, the card paints its rows rather than building
// them: the widgets stay as many as for a few sources. The main thread's time
// from the answer to the page painted is the benchmark's.
TEST_F(InputSourceCardTest, TenThousandSourcesAnswerAtOnce)
{
    signIn();
    openCard();
    answerList({ source(1, QStringLiteral("web"), QStringLiteral("A"), QString(), QStringLiteral("active")) });
    const qsizetype fewWidgets = card->findChildren<QWidget*>().size();
    QList<InputSource> many;
    for (qint64 id = 1; id <= 10'000; ++id)
        many.append(source(id, QStringLiteral("web"), QStringLiteral("来源 ") + QString::number(id), QString(),
            id % 7 ? QStringLiteral("active") : QStringLiteral("pending")));
    listChanged.timeout({});
    ASSERT_EQ(api->lists.calls.size(), 2);

    answerList(many);
    ASSERT_TRUE(waitUntil([&] { return list().height() == list().sizeHint().height(); }));
    renderView(*page, QStringLiteral("input-source-card-10000"));

    EXPECT_EQ(card->findChildren<QWidget*>().size(), fewWidgets);
    ASSERT_EQ(list().sources().size(), 10'000);
    EXPECT_EQ(list().rowLayout(9'999).nameText, QStringLiteral("来源 10000"));
    const qreal rowHeight = list().rowLayout(1).detail.top() - list().rowLayout(0).detail.top();
    EXPECT_EQ(list().height(), qRound(10'000 * rowHeight)) << "every row within the page's reach";
}

} // namespace
} // namespace vellamor::test
