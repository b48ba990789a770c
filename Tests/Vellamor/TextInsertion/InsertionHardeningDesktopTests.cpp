#include "DesktopTest.h"
#include "QtPrinters.h"
#include "WaitUntil.h"

#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/Pasteboard/QtPasteboard.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/SystemLayeredInserter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// Starts a target program (see Targets/TargetProtocol.h) and activates its window.
void startFocused(QProcess& target, const QString& program, const QStringList& arguments)
{
    target.start(program, arguments);
    ASSERT_TRUE(target.waitForReadyRead(15000));
    QProcess search;
    search.start(u"xdotool"_s, {u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--pid"_s,
                                QString::number(target.processId())});
    ASSERT_TRUE(search.waitForFinished(10000));
    const QString window = QString::fromLatin1(search.readAllStandardOutput().trimmed().split('\n').last());
    ASSERT_TRUE(xdotool({u"windowactivate"_s, u"--sync"_s, window}));
}

// The field's text once it is `expected`, or the last one reported within 5 s.
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
    owner.start(QStringLiteral(VELLAMOR_QT_TEXT_TARGET), {u"owner"_s, u"earlier 文本"_s, u"<b>earlier</b>"_s});
    ASSERT_TRUE(owner.waitForReadyRead(15000));
    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_GTK_TEXT_TARGET), {u"GtkTextView"_s, u"ab选中ef"_s, u"ab"_s, u"选中"_s});
    ClipboardInserter clipboard(std::make_shared<platform::QtPasteboard>(),
                                std::make_shared<platform::XTestKeyInjector>(), nullptr);

    EXPECT_NO_THROW(runBlocking(clipboard.insert(u"文🎉"_s)));
    EXPECT_EQ(waitForText(target, u"ab文🎉ef"_s), u"ab文🎉ef"_s);
    QProcess xclip;
    xclip.start(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s});
    ASSERT_TRUE(waitUntil([&] { return xclip.state() == QProcess::NotRunning; }, 10s));
    EXPECT_EQ(QString::fromUtf8(xclip.readAllStandardOutput()), u"earlier 文本"_s);
}

// The view reads its keys long after they were typed, and the text needs
// three times the characters the spare keys hold at once: mapping them again
// before the view has caught up would turn the keys it has not read into others.
TEST_F(InsertionHardeningDesktopTest, MixedTextArrivesInOrderInASlowWindow)
{
    const QString text = u"文🎉 mixed ✓ 今天我们在会议室里讨论了新版本的发布计划，大家都觉得这个功能非常重要，"
                         "需要尽快完成测试并且修复所有已知的问题，然后再通知用户更新😀 OK "
                         "春夏秋冬东南西北左右金木水火土日月星辰山川河流风雨雷电花草树鸟兽虫鱼"_s;
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
    const QString text = u"第一行🎉\n第二行😀 end\n🎉🎉x"_s;
    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_SLOW_TEXT_TARGET), {u"writer"_s});
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
    startFocused(target, QStringLiteral(VELLAMOR_QT_TEXT_TARGET), {u"QtLineEdit"_s});
    KeystrokeInserter keyboard(std::make_shared<platform::XTestKeyInjector>(), nullptr);
    QTimer::singleShot(100ms, [] { xdotool({u"keydown"_s, u"Control_R"_s}); });
    QTimer::singleShot(600ms, [] { xdotool({u"keyup"_s, u"Control_R"_s}); });

    EXPECT_NO_THROW(runBlocking(keyboard.insert(text), 30s));
    EXPECT_EQ(waitForText(target, text), text);
}

// The keys a long text left mapped are reused or cleared at once: the next
// short text does not wait for the long one to be read.
TEST_F(InsertionHardeningDesktopTest, AShortTextAfterALongTypedOneIsTypedWithinASecond)
{
    QString chinese;
    for (char32_t c = U'一'; c < U'一' + 60; ++c)
        chinese += QString::fromUcs4(&c, 1);
    const QString longText = QString(chinese + u" and some latin text between them, "_s).repeated(4);
    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_GTK_TEXT_TARGET), {u"GtkEntry"_s});
    KeystrokeInserter keyboard(std::make_shared<platform::XTestKeyInjector>(), nullptr);
    EXPECT_NO_THROW(runBlocking(keyboard.insert(longText), 30s));
    EXPECT_EQ(waitForText(target, longText), longText);

    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_NO_THROW(runBlocking(keyboard.insert(u"好的"_s), 30s));
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_EQ(waitForText(target, longText + u"好的"_s), longText + u"好的"_s);
}

// The field takes the text but answers the write after the call gave up, and
// does not answer the read-back either: no other layer may add it again.
TEST_F(InsertionHardeningDesktopTest, AnAccessibilityWriteAnsweredTooLateIsNotInsertedAgain)
{
    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_SLOW_TEXT_TARGET), {u"late"_s, u"1500"_s});
    // Past the bus's grace time for a starting application.
    runEventLoopFor(700ms);
    const auto injector = std::make_shared<platform::XTestKeyInjector>();
    const LayeredInserter chain = SystemLayeredInserter::make(
        std::make_shared<platform::AtspiAccessibilityBus>(QCoreApplication::applicationPid(), 200ms), injector,
        std::make_shared<platform::QtPasteboard>(), [] { return true; }, nullptr, UserDefaults::standard());

    {
#if defined(__SANITIZE_ADDRESS__)
        // libatspi never frees the pending D-Bus call of a call that timed out.
        __lsan::ScopedDisabler timedOutCallsLeak;
#endif
        EXPECT_EQ(runBlocking(chain.insertLayered(u"文本"_s), 30s), InsertStrategy::ax);
    }
    runEventLoopFor(300ms);
    EXPECT_EQ(waitForText(target, u"文本"_s), u"文本"_s);
}

// With no application window open the focus rests on the window manager's
// own window or the root: nothing to type into, so the text goes to the clipboard.
TEST_F(InsertionHardeningDesktopTest, OnlyAnApplicationsWindowIsAFocusedTarget)
{
    platform::XTestKeyInjector injector;
    EXPECT_EQ(injector.focusedWindow(), std::nullopt);

    QProcess target;
    startFocused(target, QStringLiteral(VELLAMOR_QT_TEXT_TARGET), {u"QtLineEdit"_s});
    const auto focused = injector.focusedWindow();
    ASSERT_TRUE(focused.has_value());
    EXPECT_EQ(focused->processId, target.processId());
}

} // namespace
} // namespace vellamor::test
