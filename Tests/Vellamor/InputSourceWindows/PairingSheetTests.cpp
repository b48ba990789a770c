#include "Appearances.h"
#include "FakeInputSourceAPI.h"
#include "ManualSteadyClock.h"
#include "QRCodeScan.h"
#include "QtPrinters.h"
#include "WaitUntil.h"
#include "WidgetRendering.h"

#include "InputSourceWindows/PairingSheet.h"
#include "InputSources/InputSourceAPI.h"
#include "Models/NetworkError.h"
#include "Windows/WindowTheme.h"

#include <QLabel>
#include <QPushButton>

#include <gmock/gmock.h>

#include <array>
#include <cmath>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

InputSource source(qint64 id, const QString& status, Date createdAt = Date())
{
    InputSource found;
    found.id = id;
    found.kind = QStringLiteral("web");
    found.status = status;
    found.createdAt = createdAt;
    return found;
}

// The sheet on screen over a scripted client, on a clock the test moves.
class PairingSheetTest : public ::testing::Test {
protected:
    PairingSheetTest() { sheet->show(); }
    ~PairingSheetTest() override { close(); }

    void close()
    {
        sheet.reset();
        api->failWaiting();
        settleWidgets();
    }
    // A new sheet over a new client, shown now.
    void reopen()
    {
        close();
        api = std::make_shared<FakeInputSourceAPI>();
        sheet = std::make_unique<PairingSheet>(api, clock.sleeper(), [this] { return now; });
        sheet->show();
    }

    void advance(std::chrono::milliseconds by)
    {
        now = Date(now.secondsSince1970() + double(by.count()) / 1000);
        clock.advance(by);
        settleWidgets();
    }
    // Without `issuedAt`, the service's clock is taken for this one.
    void answerPairing(const QString& code, double expiresIn, std::optional<Date> issuedAt = std::nullopt)
    {
        ASSERT_TRUE(waitUntil([&] { return !api->pairings.calls.isEmpty(); }));
        const QUrl base(QStringLiteral("https://pair.example.com/app?x=1"));
        api->pairings.answer(api->pairings.calls.size() - 1,
                             PairingInfo{code, issuedAt.value_or(now).addingSeconds(expiresIn),
                                         InputSourceAPI::buildQRURL(code, base), issuedAt});
        settleWidgets();
    }
    QLabel* label(const QString& name) { return sheet->findChild<QLabel*>(name); }
    QPushButton* button(const QString& text)
    {
        for (QPushButton* found : sheet->findChildren<QPushButton*>()) {
            if (found->text() == text)
                return found;
        }
        return nullptr;
    }
    // What a scanner reads from the code as the sheet draws it.
    QString scanned()
    {
        return scannedQRCode(
            renderView(*sheet->findChild<QWidget*>(QStringLiteral("qrCode")), QStringLiteral("pairing-qr")));
    }

    Date now = Date::fromUnixSeconds(1'800'000'000);
    ManualSteadyClock clock;
    std::shared_ptr<FakeInputSourceAPI> api = std::make_shared<FakeInputSourceAPI>();
    std::unique_ptr<PairingSheet> sheet =
        std::make_unique<PairingSheet>(api, clock.sleeper(), [this] { return now; });
};

// The code as shown, the countdown at once and one tick later, and the QR
// code read back by a scanner as the exact pairing address.
TEST_F(PairingSheetTest, TheCodeItsCountdownAndItsQRCodeShowAsTheyShould)
{
    struct Case {
        QString code;
        double expiresIn;
        QString shownCode;
        QString first;
        QString afterATick;
    };
    const QString expired = QStringLiteral("二维码已过期，请点击取消后重新添加");
    const auto until = [&](const char* date) {
        return Date::fromIso8601(QString::fromLatin1(date))->secondsSince(now);
    };
    // More seconds than the count holds: as many as it holds.
    const QString longest = QStringLiteral("二维码有效期 35791394 分 7 秒");
    const std::array cases {
        Case { QStringLiteral("123456"), 61.5, QStringLiteral("配对码 123 456"),
            QStringLiteral("二维码有效期 1 分 1 秒"), QStringLiteral("二维码有效期 1 分 0 秒") },
        Case { QStringLiteral("👍🏽12345"), 59.9, QStringLiteral("配对码 👍🏽12 345"),
            QStringLiteral("二维码有效期 59 秒"), QStringLiteral("二维码有效期 58 秒") },
        Case { QStringLiteral("a b&c=d/é?#%+"), 0.9, QStringLiteral("配对码 a b&c=d/é?#%+"), expired, expired },
        Case { QStringLiteral("12345"), -5, QStringLiteral("配对码 12345"), expired, expired },
        Case { QStringLiteral("210001"), until("2100-01-01T00:00:00Z"), QStringLiteral("配对码 210 001"), longest,
            longest },
        Case { QStringLiteral("999912"), until("9999-12-31T23:59:59Z"), QStringLiteral("配对码 999 912"), longest,
            longest },
        Case { QStringLiteral("000101"), until("0001-01-01T00:00:00Z"), QStringLiteral("配对码 000 101"), expired,
            expired },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code.toStdString());
        answerPairing(c.code, c.expiresIn);
        EXPECT_EQ(label(QStringLiteral("pairingCode"))->text(), c.shownCode);
        EXPECT_EQ(label(QStringLiteral("expiry"))->text(), c.first);
        EXPECT_EQ(
            scanned(), InputSourceAPI::buildQRURL(c.code, QUrl(QStringLiteral("https://pair.example.com/app?x=1"))));
        advance(1s);
        EXPECT_EQ(label(QStringLiteral("expiry"))->text(), c.afterATick);
        EXPECT_EQ(label(QStringLiteral("expiry"))->palette().color(QPalette::WindowText),
            c.afterATick == expired ? WindowTheme::red() : WindowTheme::secondary());
        EXPECT_TRUE(button(QStringLiteral("我已扫码完成"))->isEnabled());
        // Another code: "重试" is only offered after a failure.
        sheet->viewModel().load();
        settleWidgets();
        EXPECT_FALSE(button(QStringLiteral("我已扫码完成"))->isEnabled());
    }
}

TEST_F(PairingSheetTest, AFailureOffersARetryAndDoneOnlyOnceACodeShows)
{
    ASSERT_TRUE(waitUntil([&] { return api->pairings.calls.size() == 1; }));
    const NetworkError offline(NetworkError::Kind::cannotConnect);
    api->pairings.fail(0, offline);
    settleWidgets();
    EXPECT_EQ(label(QStringLiteral("failure"))->text(), offline.errorDescription());
    EXPECT_EQ(label(QStringLiteral("failure"))->width(), label(QStringLiteral("failure"))->parentWidget()->width())
        << "the text wraps at the sheet's width";
    EXPECT_FALSE(button(QStringLiteral("我已扫码完成"))->isEnabled());
    renderInBothAppearances(*sheet, QStringLiteral("pairing-sheet-failed"));
    button(QStringLiteral("重试"))->click();
    settleWidgets();
    ASSERT_EQ(api->pairings.calls.size(), 2);
    EXPECT_FALSE(label(QStringLiteral("failure"))->isVisibleTo(sheet.get()));
    answerPairing(QStringLiteral("654321"), 300);
    EXPECT_TRUE(button(QStringLiteral("我已扫码完成"))->isEnabled());
    renderInBothAppearances(*sheet, QStringLiteral("pairing-sheet-ready"));
}

// The sources of the first list are the baseline, whatever they count;
// failures and sources that come and go do not close the sheet, a new one
// does, and the polling ends with it. The code is never answered: the
// polling runs in every phase.
TEST_F(PairingSheetTest, OnlyASourceNotInTheFirstListClosesTheSheet)
{
    int finished = 0;
    QObject::connect(sheet.get(), &QDialog::finished, [&finished] { ++finished; });
    const auto answerList = [&](const QList<InputSource>& sources) {
        ASSERT_TRUE(waitUntil([&] { return !api->lists.calls.isEmpty(); }));
        api->lists.answer(api->lists.calls.size() - 1, sources);
        settleWidgets();
    };
    answerList({ source(1, QStringLiteral("active")), source(2, QStringLiteral("pending")),
        source(3, QStringLiteral("revoked")) });
    EXPECT_EQ(api->lists.calls.size(), 1);
    advance(2s);
    ASSERT_EQ(api->lists.calls.size(), 2);
    api->lists.fail(1, InputSourceAPIError::transport(QStringLiteral("offline")));
    settleWidgets();
    advance(2s);
    answerList({ source(1, QStringLiteral("active")), source(2, QStringLiteral("revoked")) });
    EXPECT_TRUE(sheet->isVisible());
    advance(2s);
    answerList({ source(1, QStringLiteral("active")), source(4, QStringLiteral("revoked")) });
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(api->lists.calls.size(), 4);
    advance(2s);
    answerList({ source(1, QStringLiteral("active")), source(5, QStringLiteral("pending")) });
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(finished, 1);
    advance(10s);
    EXPECT_EQ(api->lists.calls.size(), 5);
}

// The service's clock minutes or hours from this one: its times are read
// against its own (the code issued at the Date it sent). A source it created
// after that second is the claim, even when the first list failed; one in
// the first list from before, within that second, or revoked is not; the
// code lives for what the service gave it from the end of that second.
TEST_F(PairingSheetTest, TheServicesTimesAreReadAgainstItsOwnClock)
{
    struct Case {
        const char* name;
        bool firstFails;
        QList<double> createdBefore; // in the first list, seconds from the issue
        double claimedAt;            // in the second list too; NaN: nothing new
        QString claimStatus;
        bool closes;
    };
    const double none = std::nan("");
    const std::array cases {
        Case { "a phone bound before", false, { -60 }, none, QString(), false },
        Case { "a phone bound within the second the code was sent", false, { 0.5 }, none, QString(), false },
        Case { "claimed after the first list", false, { -60 }, 20, QStringLiteral("pending"), true },
        Case { "claimed while the first list failed", true, { -60 }, 20, QStringLiteral("pending"), true },
        Case { "claimed, then revoked", true, { -60 }, 20, QStringLiteral("revoked"), false },
    };
    for (const double skew : { 120.0, -120.0, 6 * 3600.0, -6 * 3600.0 }) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(skew) + " s: " + c.name);
            reopen();
            const Date issued = now.addingSeconds(skew);
            answerPairing(QStringLiteral("123456"), 300, issued);
            EXPECT_EQ(label(QStringLiteral("expiry"))->text(), QStringLiteral("二维码有效期 4 分 59 秒"));
            QList<InputSource> listed;
            for (const double at : c.createdBefore)
                listed.append(source(listed.size() + 1, QStringLiteral("active"), issued.addingSeconds(at)));
            ASSERT_EQ(api->lists.calls.size(), 1);
            if (c.firstFails)
                api->lists.fail(0, InputSourceAPIError::transport(QStringLiteral("offline")));
            else
                api->lists.answer(0, listed);
            settleWidgets();
            EXPECT_TRUE(sheet->isVisible());
            advance(2s);
            if (!std::isnan(c.claimedAt))
                listed.append(source(listed.size() + 1, c.claimStatus, issued.addingSeconds(c.claimedAt)));
            ASSERT_EQ(api->lists.calls.size(), 2);
            api->lists.answer(1, listed);
            settleWidgets();
            EXPECT_EQ(sheet->isVisible(), !c.closes);
            advance(2s);
            EXPECT_EQ(api->lists.calls.size(), c.closes ? 2 : 3) << "polling ends with the claim";
        }
    }
}

// The service's Date is its clock only where the code's expiry lies within
// an hour of it, before (a code sent expired) or after; then the countdown
// never runs long and a phone bound after it is the claim although the first
// list failed. Without it (none, one of 1970 or 9999, an expiry too far from
// it) nothing on this computer's clock can be compared with the sources'
// created_at: a phone bound a minute before the code never closes the sheet,
// whichever way the clocks differ, and only a phone new to the first list
// that succeeded does.
TEST_F(PairingSheetTest, AnIssueTimeCountsOnlyWhereTheCodesLifetimeFromItIsPlausible)
{
    struct Case {
        const char* name;
        bool sendsDate;
        std::optional<Date> sentDate; // none: the service's now
        double skew; // the service's clock from this one
        double lifetime; // the expiry from the service's now
        QString shown;
        bool dated; // the Date is taken as the service's clock
    };
    const double ahead = 6 * 3600.0;
    const QString expired = QStringLiteral("二维码已过期，请点击取消后重新添加");
    const QString sixHoursLong = QStringLiteral("二维码有效期 365 分 0 秒");
    const QString longest = QStringLiteral("二维码有效期 35791394 分 7 秒");
    const auto toYear3000 = [&](double skew) {
        return Date::fromIso8601(QStringLiteral("3000-01-01T00:00:00Z"))->secondsSince(now.addingSeconds(skew));
    };
    const std::array cases {
        Case { "no Date", false, std::nullopt, 0, 300, QStringLiteral("二维码有效期 5 分 0 秒"), false },
        Case { "a Date of 1970", true, Date(), 0, 300, QStringLiteral("二维码有效期 5 分 0 秒"), false },
        Case { "a Date of 9999", true, Date::latestFormattable(), 0, 300, QStringLiteral("二维码有效期 5 分 0 秒"),
            false },
        Case { "6 h ahead", true, std::nullopt, ahead, 300, QStringLiteral("二维码有效期 4 分 59 秒"), true },
        Case { "6 h behind", true, std::nullopt, -ahead, 300, QStringLiteral("二维码有效期 4 分 59 秒"), true },
        Case { "an hour's code", true, std::nullopt, 0, 3600, QStringLiteral("二维码有效期 59 分 59 秒"), true },
        Case { "longer than an hour", true, std::nullopt, 0, 3601, QStringLiteral("二维码有效期 60 分 1 秒"), false },
        // Issued 0.1 s into the second the Date names.
        Case { "0.9 s before expiry", true, std::nullopt, 0, 1.0, expired, true },
        Case { "no Date, 6 h ahead", false, std::nullopt, ahead, 300, sixHoursLong, false },
        Case { "no Date, 6 h behind", false, std::nullopt, -ahead, 300, expired, false },
        Case { "a Date of 1970, 6 h ahead", true, Date(), ahead, 300, sixHoursLong, false },
        Case { "a Date of 1970, 6 h behind", true, Date(), -ahead, 300, expired, false },
        Case { "expired 60 s before its Date, 6 h ahead", true, std::nullopt, ahead, -60, expired, true },
        Case { "expired 60 s before its Date, 6 h behind", true, std::nullopt, -ahead, -60, expired, true },
        Case { "expiring in 3000, 6 h ahead", true, std::nullopt, ahead, toYear3000(ahead), longest, false },
        Case { "expiring in 3000, 6 h behind", true, std::nullopt, -ahead, toYear3000(-ahead), longest, false },
    };
    for (const Case& c : cases) {
        for (const bool claimed : { false, true }) {
            SCOPED_TRACE(std::string(c.name) + (claimed ? ", claimed" : ""));
            reopen();
            const Date serviceNow = now.addingSeconds(c.skew);
            const Date expiry = serviceNow.addingSeconds(c.lifetime);
            ASSERT_TRUE(waitUntil([&] { return !api->pairings.calls.isEmpty(); }));
            const std::optional<Date> sent = c.sendsDate ? c.sentDate.value_or(serviceNow) : std::optional<Date>();
            api->pairings.answer(0, PairingInfo { QStringLiteral("123456"), expiry, QString(), sent });
            settleWidgets();
            EXPECT_EQ(label(QStringLiteral("expiry"))->text(), c.shown);

            ASSERT_EQ(api->lists.calls.size(), 1);
            api->lists.fail(0, InputSourceAPIError::transport(QStringLiteral("offline")));
            settleWidgets();
            advance(2s);
            QList<InputSource> listed { source(1, QStringLiteral("active"), serviceNow.addingSeconds(-60)) };
            if (claimed)
                listed.append(source(2, QStringLiteral("pending"), serviceNow.addingSeconds(2)));
            ASSERT_EQ(api->lists.calls.size(), 2);
            api->lists.answer(1, listed);
            settleWidgets();
            EXPECT_EQ(sheet->isVisible(), !(claimed && c.dated));
            if (!sheet->isVisible())
                continue;
            advance(2s);
            listed.append(source(3, QStringLiteral("pending"), serviceNow.addingSeconds(4)));
            ASSERT_EQ(api->lists.calls.size(), 3);
            api->lists.answer(2, listed);
            settleWidgets();
            EXPECT_FALSE(sheet->isVisible()) << "a phone new to the first list that succeeded";
        }
    }
}

} // namespace
} // namespace vellamor::test
