#include "DesktopTest.h"
#include "QtPrinters.h"
#include "SelectionRequestor.h"
#include "TextTarget.h"
#include "WaitUntil.h"

#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/Pasteboard/X11SelectionBroker.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/SystemLayeredInserter.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>

#include <csignal>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

// Starts a target program (see Targets/TargetProtocol.h) and activates its window.
// Another program holding the clipboard, as the user's earlier copy: text and HTML.
bool startClipboardOwner(QProcess& owner)
{
    owner.start(QStringLiteral(VELLAMOR_QT_TEXT_TARGET),
        { QStringLiteral("owner"), QStringLiteral("earlier 文本"), QStringLiteral("<b>earlier</b>") });
    return owner.waitForReadyRead(static_cast<int>(hangCeiling.count()));
}

void startFocused(QProcess& target, const QString& program, const QStringList& arguments)
{
    target.start(program, arguments);
    ASSERT_TRUE(target.waitForReadyRead(static_cast<int>(hangCeiling.count())));
    // A search fails when a window it lists goes away before it is read: asked again.
    std::optional<QString> window;
    ASSERT_TRUE(waitUntil([&] { return (window = windowOf(target.processId())) && !window->isEmpty(); }));
    ASSERT_TRUE(xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), *window }));
}

// The field's text once it is `expected`, or the last one reported.
QString waitForText(QProcess& target, const QString& expected)
{
    QString text;
    waitUntil([&] {
        while (target.canReadLine())
            text = QString::fromUtf8(target.readLine()).chopped(1).mid(2);
        return text == expected;
    });
    return text;
}

using InsertionHardeningDesktopTest = DesktopTest;

TEST_F(InsertionHardeningDesktopTest, PasteReplacesAGtkSelectionAndGivesTheClipboardBack)
{
    QProcess owner;
    ASSERT_TRUE(startClipboardOwner(owner));
    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_GTK_TEXT_TARGET),
        { QStringLiteral("GtkTextView"), QStringLiteral("ab选中ef"), QStringLiteral("ab"), QStringLiteral("选中") });
    ClipboardInserter clipboard(std::make_shared<platform::X11SelectionBroker>(shortLoans()),
                                std::make_shared<platform::XTestKeyInjector>(), nullptr);

    EXPECT_NO_THROW(runBlocking(clipboard.insert(QStringLiteral("文🎉"))));
    EXPECT_EQ(waitForText(target, QStringLiteral("ab文🎉ef")), QStringLiteral("ab文🎉ef"));
    EXPECT_EVENTUALLY_EQ(QString::fromUtf8(clipboardContent("clipboard", "UTF8_STRING")), QStringLiteral("earlier 文本"));
}

// An owner that never answers, or answers for its image 2 s late: reading it
// holds neither the main thread nor the paste for long; the user's contents
// come back whole, or where they could not be read the text is lent all the
// same and stays, and nothing empty is ever put back. Quitting cuts a read
// short: the owner keeps what it holds, and the main thread is soon free.
TEST_F(InsertionHardeningDesktopTest, AStoppedOrSlowClipboardOwnerNeverHoldsTheMainThreadNorGetsAnEmptyRestore)
{
    enum class Owner { stopped, slow, stoppedThenQuit };
    for (const Owner kind : {Owner::stopped, Owner::slow, Owner::stoppedThenQuit}) {
        SCOPED_TRACE(int(kind));
        const bool stopped = kind != Owner::slow;
        QProcess owner;
        owner.start(QStringLiteral(VELLAMOR_QT_TEXT_TARGET),
                    {stopped ? QStringLiteral("owner") : QStringLiteral("slow-owner"), QStringLiteral("earlier 文本"),
                     QStringLiteral("<b>earlier</b>")});
        ASSERT_TRUE(owner.waitForReadyRead(static_cast<int>(hangCeiling.count())));
        const QByteArray png = stopped ? QByteArray() : clipboardContent("clipboard", "image/png");
        if (stopped) {
            ASSERT_EQ(::kill(static_cast<pid_t>(owner.processId()), SIGSTOP), 0);
        }
        // Where the app quits, only the quit ends the read before a hang would.
        platform::X11SelectionBroker::Limits limits;
        if (kind == Owner::stoppedThenQuit)
            limits.step = limits.snapshot = 2 * hangCeiling;
        platform::X11SelectionBroker broker(limits);
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(10);

        auto lending = broker.lend(platform::PasteboardSelection::clipboard, QStringLiteral("文🎉"));
        if (kind == Owner::stoppedThenQuit) {
            QTimer::singleShot(300ms, [&] { broker.handOver(); });
            EXPECT_EQ(runBlocking(std::move(lending)), nullptr);
            timer.stop();
            ::kill(static_cast<pid_t>(owner.processId()), SIGCONT);
            EXPECT_EQ(QString::fromUtf8(clipboardContent("clipboard", "UTF8_STRING")), QStringLiteral("earlier 文本"));
            continue;
        }
        const auto loan = runBlocking(std::move(lending));
        timer.stop();
        if (stopped)
            ::kill(static_cast<pid_t>(owner.processId()), SIGCONT);
        EXPECT_GT(ticks, 0);
        ASSERT_NE(loan, nullptr);
        loan->giveBack();
        if (stopped) {
            EXPECT_EQ(QString::fromUtf8(clipboardContent("clipboard", "UTF8_STRING")), QStringLiteral("文🎉"));
            continue;
        }
        EXPECT_EVENTUALLY_EQ(QString::fromUtf8(clipboardContent("clipboard", "UTF8_STRING")),
                             QStringLiteral("earlier 文本"));
        EXPECT_EQ(clipboardContent("clipboard", "image/png"), png);
    }
}

// The paste lets go of a loan's handle right after its last call, while the
// broker's thread is still reading a stopped owner: the calls queued behind
// that read never touch the handle.
TEST_F(InsertionHardeningDesktopTest, AHandleDroppedRightAfterItsLastCallIsNeverTouchedAgain)
{
    QProcess owner;
    ASSERT_TRUE(startClipboardOwner(owner));
    platform::X11SelectionBroker broker(shortLoans());
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "keep" : "give back");
        auto loan = runBlocking(broker.lend(platform::PasteboardSelection::clipboard, QStringLiteral("文🎉")));
        ASSERT_NE(loan, nullptr);
        ASSERT_EQ(::kill(static_cast<pid_t>(owner.processId()), SIGSTOP), 0);
        // Reading PRIMARY's stopped owner keeps the broker's thread busy.
        auto busy = broker.lend(platform::PasteboardSelection::primary, QStringLiteral("x"));
        loan->chordSent(30s);
        if (keep)
            loan->keep();
        else
            loan->giveBack();
        loan.reset();
        ::kill(static_cast<pid_t>(owner.processId()), SIGCONT);
        EXPECT_NE(runBlocking(std::move(busy)), nullptr);
    }
}

// Whoever asks before the target is done gets the text, a large one in parts;
// then every format of the user's contents comes back. The target's fetch
// counts whether it asks for one target or several at once (MULTIPLE, each
// large one in parts of its own to the same window).
TEST_F(InsertionHardeningDesktopTest, EveryoneAskingDuringTheLoanGetsTheTextThenTheUsersContentsComeBack)
{
    for (const qsizetype characters : {qsizetype(12), qsizetype(700'000)}) {
        for (const bool multiple : {false, true}) {
            SCOPED_TRACE(::testing::Message() << characters << (multiple ? " through MULTIPLE" : ""));
            QProcess owner;
            ASSERT_TRUE(startClipboardOwner(owner));
            SelectionRequestor target;
            platform::X11SelectionBroker broker(shortLoans());
            const QString text = QStringLiteral("文").repeated(characters);
            const auto loan = runBlocking(broker.lend(platform::PasteboardSelection::clipboard, text));
            ASSERT_NE(loan, nullptr);
            loan->chordSent(30s);

            EXPECT_EQ(clipboardContent("clipboard", "UTF8_STRING"), text.toUtf8());
            const std::vector<QByteArray> targets = multiple ? std::vector<QByteArray>{"UTF8_STRING", "text/plain"}
                                                             : std::vector<QByteArray>{"UTF8_STRING"};
            const auto read = target.read("CLIPBOARD", targets, multiple);
            ASSERT_TRUE(read.has_value());
            EXPECT_EQ(*read, std::vector<QByteArray>(targets.size(), text.toUtf8()));
            EXPECT_EQ(runBlocking(loan->firstFetch(), 20s), platform::LoanProgress::fetched);
            EXPECT_EVENTUALLY_EQ(QString::fromUtf8(clipboardContent("clipboard", "UTF8_STRING")),
                                 QStringLiteral("earlier 文本"));
            EXPECT_EQ(clipboardContent("clipboard", "text/html"), QByteArrayLiteral("<b>earlier</b>"));
        }
    }
}

// A clipboard manager that copies every change and takes the clipboard with
// it: the user's contents are put back once the target has had its time.
// The user's own copy of the lent text, by a program that never read it, stays.
TEST_F(InsertionHardeningDesktopTest, AManagerThatReownsTheTextGetsTheUsersContentsBackButAUsersCopyStays)
{
    for (const bool manager : {true, false}) {
        SCOPED_TRACE(manager ? "manager" : "user's copy");
        QProcess owner;
        ASSERT_TRUE(startClipboardOwner(owner));
        // The target, so that the manager is not taken for it.
        SelectionRequestor target;
        QProcess reowner;
        if (manager) {
            reowner.start(QStringLiteral(VELLAMOR_QT_TEXT_TARGET), {QStringLiteral("reowner")});
            ASSERT_TRUE(reowner.waitForReadyRead(static_cast<int>(hangCeiling.count())));
        }
        const auto limits = shortLoans();
        platform::X11SelectionBroker broker(limits);
        const auto loan = runBlocking(broker.lend(platform::PasteboardSelection::clipboard, QStringLiteral("文🎉")));
        ASSERT_NE(loan, nullptr);
        loan->chordSent(30s);
        if (manager) {
            EXPECT_EVENTUALLY_EQ(QString::fromUtf8(clipboardContent("clipboard", "UTF8_STRING")),
                                 QStringLiteral("earlier 文本"));
            continue;
        }
        QProcess copy;
        copy.start(QStringLiteral("xclip"), {QStringLiteral("-i"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
        copy.write(QStringLiteral("文🎉").toUtf8());
        copy.closeWriteChannel();
        ASSERT_TRUE(waitUntil([&] { return copy.state() == QProcess::NotRunning; }));
        // Past the moment a manager would have been given the user's contents back.
        const auto past = std::chrono::steady_clock::now() + (limits.ledger.loan.quiet + limits.ledger.loan.grace) * 3;
        ASSERT_TRUE(waitUntil([&] { return std::chrono::steady_clock::now() >= past; }));
        EXPECT_EQ(QString::fromUtf8(clipboardContent("clipboard", "UTF8_STRING")), QStringLiteral("文🎉"));
    }
}

// The user's paste chord gives their contents back and the clipboard is
// taken anew; the target's request for that paste, stamped with the chord's
// time and read late, is served their contents, not refused as meant for an
// owner before.
TEST_F(InsertionHardeningDesktopTest, TheUsersPasteStampedBeforeTheClipboardIsTakenAnewGetsTheirContents)
{
    QProcess owner;
    ASSERT_TRUE(startClipboardOwner(owner));
    SelectionRequestor target;
    platform::X11SelectionBroker::Limits limits = shortLoans();
    limits.ledger.loan.grace = 30s;
    platform::X11SelectionBroker broker(limits);
    const auto loan = runBlocking(broker.lend(platform::PasteboardSelection::clipboard, QStringLiteral("文🎉")));
    ASSERT_NE(loan, nullptr);
    loan->chordSent(30s);
    ASSERT_TRUE(target.read("CLIPBOARD", {"UTF8_STRING"}, false).has_value());
    EXPECT_EQ(runBlocking(loan->firstFetch(), 20s), platform::LoanProgress::fetched);
    // Pressed past the moment the app's own chord could still be seen.
    const auto late = std::chrono::steady_clock::now() + limits.ledger.loan.ownChordEcho;
    ASSERT_TRUE(waitUntil([&] { return std::chrono::steady_clock::now() >= late; }));
    const xcb_timestamp_t chord = target.serverTime();
    ASSERT_TRUE(waitUntil([&] { return target.serverTime() != chord; }));

    target.watchOwner("CLIPBOARD");
    broker.userPasted();
    ASSERT_TRUE(target.waitForOwnerChange());
    const auto pasted = target.read("CLIPBOARD", {"UTF8_STRING"}, false, 30s, chord);
    ASSERT_TRUE(pasted.has_value());
    EXPECT_EQ(QString::fromUtf8(pasted->front()), QStringLiteral("earlier 文本"));
}

// Another program copies once the target has the text, while the paste still
// holds the clipboard: that copy stays, the earlier contents do not come back
// over it.
TEST_F(InsertionHardeningDesktopTest, ACopyMadeWhileThePasteHoldsTheClipboardStays)
{
    QProcess owner;
    ASSERT_TRUE(startClipboardOwner(owner));
    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_GTK_TEXT_TARGET),
        { QStringLiteral("GtkEntry"), QStringLiteral("ab"), QStringLiteral("ab"), QString() });
    ClipboardInserter clipboard(
        std::make_shared<platform::X11SelectionBroker>(), std::make_shared<platform::XTestKeyInjector>(), nullptr);

    auto pasting = clipboard.insert(QStringLiteral("文🎉"));
    EXPECT_EQ(waitForText(target, QStringLiteral("ab文🎉")), QStringLiteral("ab文🎉"));
    QProcess copy;
    copy.start(
        QStringLiteral("xclip"), { QStringLiteral("-i"), QStringLiteral("-selection"), QStringLiteral("clipboard") });
    copy.write("copied since");
    copy.closeWriteChannel();
    // xclip's first process ends once the selection is its own.
    ASSERT_TRUE(waitUntil([&] { return copy.state() == QProcess::NotRunning; }));
    EXPECT_NO_THROW(runBlocking(std::move(pasting)));
    QProcess xclip;
    xclip.start(
        QStringLiteral("xclip"), { QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard") });
    ASSERT_TRUE(waitUntil([&] { return xclip.state() == QProcess::NotRunning; }));
    EXPECT_EQ(QString::fromUtf8(xclip.readAllStandardOutput()), QStringLiteral("copied since"));
}

// The view reads its keys long after they were typed, and the text needs
// three times the characters the spare keys hold at once: mapping them again
// before the view has caught up would turn the keys it has not read into others.
TEST_F(InsertionHardeningDesktopTest, MixedTextArrivesInOrderInASlowWindow)
{
    const QString text
        = QStringLiteral("文🎉 mixed ✓ 今天我们在会议室里讨论了新版本的发布计划，大家都觉得这个功能非常重要，"
                         "需要尽快完成测试并且修复所有已知的问题，然后再通知用户更新😀 OK "
                         "春夏秋冬东南西北左右金木水火土日月星辰山川河流风雨雷电花草树鸟兽虫鱼");
    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_SLOW_TEXT_TARGET), {});
    KeystrokeInserter keyboard(std::make_shared<platform::XTestKeyInjector>(), nullptr);

    EXPECT_NO_THROW(runBlocking(keyboard.insert(text), 30s));
    EXPECT_EQ(waitForText(target, text), text);
}

// Emoji reach this window later than Enter and other keys, as in
// LibreOffice Writer: typed at the usual pace they would change places.
TEST_F(InsertionHardeningDesktopTest, EmojiAndLineBreaksKeepTheirOrderInAWriterLikeWindow)
{
    const QString text = QStringLiteral("第一行🎉\n第二行😀 end\n🎉🎉x");
    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_SLOW_TEXT_TARGET), { QStringLiteral("writer") });
    KeystrokeInserter keyboard(std::make_shared<platform::XTestKeyInjector>(), nullptr);

    EXPECT_NO_THROW(runBlocking(keyboard.insert(text), 30s));
    const QString reported = QString(text).replace(u'\n', u'|');
    EXPECT_EQ(waitForText(target, reported), reported);
}

// Control held with the typed letters would select, paste and undo in the
// field; the typing waits for its release instead.
TEST_F(InsertionHardeningDesktopTest, TypingPausesWhileTheUserHoldsTheHotkey)
{
    const QString text = QStringLiteral("abcdefghijklmnopqrstuvwxyz").repeated(12);
    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_QT_TEXT_TARGET), { QStringLiteral("QtLineEdit") });
    KeystrokeInserter keyboard(std::make_shared<platform::XTestKeyInjector>(), nullptr);
    QTimer::singleShot(100ms, [] { xdotool({ QStringLiteral("keydown"), QStringLiteral("Control_R") }); });
    QTimer::singleShot(600ms, [] { xdotool({ QStringLiteral("keyup"), QStringLiteral("Control_R") }); });

    EXPECT_NO_THROW(runBlocking(keyboard.insert(text), 30s));
    EXPECT_EQ(waitForText(target, text), text);
}

// The keys a long text left mapped are reused or cleared: the next short text
// arrives whole. How long it waits is KeystrokeInserterTest's, on a clock of
// its own, and the benchmark's (--after-long).
TEST_F(InsertionHardeningDesktopTest, AShortTextAfterALongTypedOneArrivesWhole)
{
    QString chinese;
    for (char32_t c = U'一'; c < U'一' + 60; ++c)
        chinese += QString::fromUcs4(&c, 1);
    const QString longText = QString(chinese + QStringLiteral(" and some latin text between them, ")).repeated(4);
    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_GTK_TEXT_TARGET), { QStringLiteral("GtkEntry") });
    KeystrokeInserter keyboard(std::make_shared<platform::XTestKeyInjector>(), nullptr);
    EXPECT_NO_THROW(runBlocking(keyboard.insert(longText), 30s));
    EXPECT_EQ(waitForText(target, longText), longText);

    EXPECT_NO_THROW(runBlocking(keyboard.insert(QStringLiteral("好的")), 30s));
    EXPECT_EQ(waitForText(target, longText + QStringLiteral("好的")), longText + QStringLiteral("好的"));
}

// The field takes the text but answers the write after the call gave up, and
// does not answer the read-back either: no other layer may add it again.
TEST_F(InsertionHardeningDesktopTest, AnAccessibilityWriteAnsweredTooLateIsNotInsertedAgain)
{
    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_SLOW_TEXT_TARGET), { QStringLiteral("late"), QStringLiteral("1500") });
    const auto injector = std::make_shared<platform::XTestKeyInjector>();
    const LayeredInserter chain = SystemLayeredInserter::make(
        std::make_shared<platform::AtspiAccessibilityBus>(QCoreApplication::applicationPid(), 200ms), injector,
        std::make_shared<platform::X11SelectionBroker>(), [] { return true; }, nullptr, UserDefaults::standard());

    EXPECT_EQ(runBlocking(chain.insertLayered(QStringLiteral("文本")), 30s), InsertStrategy::ax);
    // A key typed at the end now comes after anything a layer sent.
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("End"), QStringLiteral("x") }));
    EXPECT_EQ(waitForText(target, QStringLiteral("文本x")), QStringLiteral("文本x"));
}

// The field answers a write at once and shows it 3 s later: the text is in it
// once and reported inserted, not left on the clipboard for a second paste.
TEST_F(InsertionHardeningDesktopTest, AnAccessibilityWriteShownLateIsCreditedOnce)
{
    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_SLOW_TEXT_TARGET), { QStringLiteral("shows"), QStringLiteral("3000") });
    const LayeredInserter chain = SystemLayeredInserter::make(
        std::make_shared<platform::AtspiAccessibilityBus>(QCoreApplication::applicationPid()),
        std::make_shared<platform::XTestKeyInjector>(), std::make_shared<platform::X11SelectionBroker>(),
        [] { return true; }, nullptr, UserDefaults::standard());

    EXPECT_EQ(runBlocking(chain.insertLayered(QStringLiteral("文本")), 30s), InsertStrategy::ax);
    // A key typed at the end now comes after anything a layer sent.
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("End"), QStringLiteral("x") }));
    EXPECT_EQ(waitForText(target, QStringLiteral("文本x")), QStringLiteral("文本x"));
}

// With no application window open the focus rests on the window manager's
// own window or the root: nothing to type into, so the text goes to the clipboard.
TEST_F(InsertionHardeningDesktopTest, OnlyAnApplicationsWindowIsAFocusedTarget)
{
    platform::XTestKeyInjector injector;
    EXPECT_EQ(injector.focusedWindow(), std::nullopt);

    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_QT_TEXT_TARGET), { QStringLiteral("QtLineEdit") });
    const auto focused = injector.focusedWindow();
    ASSERT_TRUE(focused.has_value());
    EXPECT_EQ(focused->processId, target.processId());
}

} // namespace
} // namespace vellamor::test
