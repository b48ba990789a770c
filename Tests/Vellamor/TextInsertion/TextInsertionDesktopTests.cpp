#include "DesktopTest.h"
#include "InsertStrategyPrinter.h"
#include "QtPrinters.h"
#include "TextTarget.h"
#include "WaitUntil.h"

#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/Pasteboard/QtPasteboard.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/DefaultAccessibilityProbe.h"
#include "TextInsertion/Inserters/AccessibilityInserter.h"
#include "TextInsertion/Inserters/AccessibilityInserterError.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/SystemLayeredInserter.h"

#include <QCoreApplication>

#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWindow>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

struct TargetKind {
    const char* name;
    bool gtk;
    const char* widget;
};

void PrintTo(const TargetKind& kind, std::ostream* os)
{
    *os << kind.name;
}

const TargetKind targetKinds[] = {
    {"QtLineEdit", false, "line"},
    {"QtTextEdit", false, "edit"},
    {"GtkEntry", true, "entry"},
    {"GtkTextView", true, "view"},
};

std::unique_ptr<TextTarget> startTarget(const TargetKind& kind)
{
    return std::make_unique<TextTarget>(kind.gtk ? TextTarget::gtkProgram() : TextTarget::qtProgram(),
                                        QStringList{QString::fromLatin1(kind.widget)});
}

const qint64 ownPid = QCoreApplication::applicationPid();

class TextInsertionDesktopTest : public DesktopTest, public ::testing::WithParamInterface<TargetKind> {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        // Listening for focus from before the target starts, as the application does.
        bus_ = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
        ASSERT_TRUE(bus_->isConnected());
        target_ = startTarget(GetParam());
        ASSERT_TRUE(target_->isReady());
        ASSERT_TRUE(target_->activate());
    }

    AccessibilityInserter accessibility()
    {
        return AccessibilityInserter(
            bus_, [] { return true; }, [] { return false; }, ownPid);
    }

    KeystrokeInserter keystrokes()
    {
        return KeystrokeInserter(injector_, [this](bool ignoring) { guard_.push_back(ignoring); });
    }

    ClipboardInserter paste()
    {
        return ClipboardInserter(pasteboard_, injector_, [this](bool ignoring) { guard_.push_back(ignoring); });
    }

    std::shared_ptr<platform::AtspiAccessibilityBus> bus_;
    std::shared_ptr<platform::XTestKeyInjector> injector_ = std::make_shared<platform::XTestKeyInjector>();
    std::shared_ptr<platform::QtPasteboard> pasteboard_ = std::make_shared<platform::QtPasteboard>();
    std::unique_ptr<TextTarget> target_;
    std::vector<bool> guard_;
};

const QString dictated = QStringLiteral("hello 世界🎉");

TEST_P(TextInsertionDesktopTest, AccessibilityInsertsAtTheCaretAndOverTheSelection)
{
    DefaultAccessibilityProbe probe(
        bus_, [] { return true; }, [] { return false; }, ownPid);
    ASSERT_TRUE(waitUntil([&] { return probe.isTrustedAndHasFocus(); }, 5s));

    auto ax = accessibility();
    ASSERT_TRUE(target_->setText(QStringLiteral("a🎉bcdef")));
    ASSERT_TRUE(target_->setCaretAfter(QStringLiteral("a🎉bc")));
    EXPECT_NO_THROW(runBlocking(ax.insert(dictated)));
    EXPECT_EQ(target_->waitForText(QStringLiteral("a🎉bchello 世界🎉def")), QStringLiteral("a🎉bchello 世界🎉def"));

    ASSERT_TRUE(target_->setText(QStringLiteral("x🎉abcdefy")));
    ASSERT_TRUE(target_->select(QStringLiteral("x🎉a"), QStringLiteral("bcd")));
    EXPECT_NO_THROW(runBlocking(ax.insert(dictated)));
    EXPECT_EQ(target_->waitForText(QStringLiteral("x🎉ahello 世界🎉efy")), QStringLiteral("x🎉ahello 世界🎉efy"));
}

TEST_P(TextInsertionDesktopTest, KeystrokesTypeLatinChineseAndEmojiIntact)
{
    // More distinct characters outside the layout than one batch holds.
    const QString text = QStringLiteral("Mixed 中文 text, Ünïcödé ✓ 🎉 and 二十个不同的汉字在这里一起出现! OK");
    ASSERT_TRUE(target_->setText(QStringLiteral("[")));
    auto keyboard = keystrokes();
    ASSERT_TRUE(injector_->isAvailable());
    const auto insertKey = injector_->keyForSpecial(platform::SpecialKey::insert);
    EXPECT_NO_THROW(runBlocking(keyboard.insert(text), 30s));
    EXPECT_EQ(target_->waitForText(QStringLiteral("[") + text), QStringLiteral("[") + text);
    EXPECT_EQ(guard_, (std::vector<bool>{true, false}));

    // The keymap is as it was: the spare keys type nothing again, and a key
    // that lies between them (they are scattered) is untouched.
    EXPECT_EQ(injector_->spareKeyCodes(16).size(), 16u);
    ASSERT_TRUE(injector_->isAvailable());
    EXPECT_EQ(injector_->keyForSpecial(platform::SpecialKey::insert), insertKey);
}

TEST_P(TextInsertionDesktopTest, PasteInsertsAndPutsTheEarlierClipboardBack)
{
    const QString earlierText = QStringLiteral("earlier 文本");
    const QString earlierHtml = QStringLiteral("<b>earlier</b> 文本");
    TextTarget owner(TextTarget::qtProgram(), {QStringLiteral("owner"), hex(earlierText), hex(earlierHtml)});
    ASSERT_TRUE(owner.isReady());
    ASSERT_TRUE(target_->activate());
    const auto ownerPng = outputOf(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                             QStringLiteral("clipboard"), QStringLiteral("-t"),
                                                             QStringLiteral("image/png")});
    ASSERT_TRUE(ownerPng && !ownerPng->isEmpty());

    ASSERT_TRUE(target_->setText(QStringLiteral("<>")));
    ASSERT_TRUE(target_->setCaretAfter(QStringLiteral("<")));
    auto clipboard = paste();
    EXPECT_NO_THROW(runBlocking(clipboard.insert(dictated)));
    EXPECT_EQ(target_->waitForText(QStringLiteral("<hello 世界🎉>")), QStringLiteral("<hello 世界🎉>"));
    EXPECT_EQ(guard_, (std::vector<bool>{true, false}));

    // Read back by another client, as any application would.
    const auto read = [](const char* selection, const char* target) {
        return outputOf(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                  QString::fromLatin1(selection), QStringLiteral("-t"),
                                                  QString::fromLatin1(target)})
            .value_or(QByteArrayLiteral("<unreadable>"));
    };
    EXPECT_EQ(QString::fromUtf8(read("clipboard", "UTF8_STRING")), earlierText);
    EXPECT_EQ(QString::fromUtf8(read("clipboard", "text/html")), earlierHtml);
    const QByteArray png = read("clipboard", "image/png");
    EXPECT_EQ(png, *ownerPng);
    const QImage image = QImage::fromData(png, "PNG");
    EXPECT_EQ(image.size(), QSize(4, 3));
    EXPECT_EQ(QString::fromUtf8(read("primary", "UTF8_STRING")), earlierText);
    const QString targets = QString::fromUtf8(read("clipboard", "TARGETS"));
    EXPECT_THAT(targets.toStdString(), ::testing::HasSubstr("text/html"));
    EXPECT_THAT(targets.toStdString(), ::testing::HasSubstr("image/png"));
}

INSTANTIATE_TEST_SUITE_P(Targets, TextInsertionDesktopTest, ::testing::ValuesIn(targetKinds),
                         [](const ::testing::TestParamInfo<TargetKind>& info) { return std::string(info.param.name); });

class TerminalDesktopTest : public DesktopTest {
};

TEST_F(TerminalDesktopTest, XtermReceivesThePasteThroughItsChord)
{
    const QString text = QStringLiteral("echo 世界 ok");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString received = dir.filePath(QStringLiteral("received"));
    const int bytes = static_cast<int>(text.toUtf8().size());

    QProcess xterm;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    xterm.setProcessEnvironment(environment);
    xterm.start(QStringLiteral("xterm"),
                {QStringLiteral("-u8"), QStringLiteral("-name"), QStringLiteral("xterm"), QStringLiteral("-e"),
                 QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("stty raw -echo; head -c %1 > '%2.part' && mv '%2.part' '%2'")
                     .arg(bytes)
                     .arg(received)});
    ASSERT_TRUE(xterm.waitForStarted(10000));
    const auto window = outputOf(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"),
                                                             QStringLiteral("--pid"),
                                                             QString::number(xterm.processId())});
    ASSERT_TRUE(window);
    const QString windowId = QString::fromLatin1(window->trimmed().split('\n').last());
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), windowId}));
    auto injector = std::make_shared<platform::XTestKeyInjector>();
    ASSERT_TRUE(waitUntil([&] { return injector->activeWindowClass().contains(QStringLiteral("XTerm")); }));

    ClipboardInserter clipboard(std::make_shared<platform::QtPasteboard>(), injector, nullptr);
    EXPECT_NO_THROW(runBlocking(clipboard.insert(text)));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(received); }, 5s));
    QFile file(received);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), text);
    xterm.kill();
    xterm.waitForFinished(3000);
}

TEST_F(TerminalDesktopTest, TerminalWindowClassGetsControlShiftV)
{
    TextTarget terminalLike(TextTarget::qtProgram(),
                            {QStringLiteral("line"), QStringLiteral("-name"), QStringLiteral("gnome-terminal-server")});
    ASSERT_TRUE(terminalLike.isReady());
    ASSERT_TRUE(terminalLike.activate());
    auto injector = std::make_shared<platform::XTestKeyInjector>();
    ASSERT_TRUE(waitUntil(
        [&] { return injector->activeWindowClass().contains(QStringLiteral("gnome-terminal-server")); }));
    ClipboardInserter clipboard(std::make_shared<platform::QtPasteboard>(), injector, nullptr);
    EXPECT_NO_THROW(runBlocking(clipboard.insert(QStringLiteral("ls"))));
    const QString controlShiftV = QString::number(Qt::Key_V) + QLatin1Char(':')
        + QString::number((Qt::ControlModifier | Qt::ShiftModifier).toInt());
    EXPECT_TRUE(waitUntil([&] { return terminalLike.keys().contains(controlShiftV); }, 3s))
        << terminalLike.keys().join(QLatin1Char(' ')).toStdString();
}

class LayeredDesktopTest : public DesktopTest {
};

TEST_F(LayeredDesktopTest, AccessibleFieldIsWrittenThroughAccessibilityAndXtermHasNoTarget)
{
    std::vector<bool> guard;
    const LayeredInserter inserter = SystemLayeredInserter::make(
        [] { return true; }, [&guard](bool ignoring) { guard.push_back(ignoring); });
    TextTarget target(TextTarget::qtProgram(), {QStringLiteral("line")});
    ASSERT_TRUE(target.isReady());
    ASSERT_TRUE(target.activate());
    EXPECT_EQ(runBlocking(inserter.insertLayered(dictated)), InsertStrategy::ax);
    EXPECT_EQ(target.waitForText(dictated), dictated);
    EXPECT_TRUE(guard.empty());

    // xterm offers no accessibility: the previous field must not count as
    // focused any more, and the text waits on the clipboard.
    QProcess xterm;
    xterm.start(QStringLiteral("xterm"), {QStringLiteral("-e"), QStringLiteral("sleep 30")});
    ASSERT_TRUE(xterm.waitForStarted(10000));
    const auto window = outputOf(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"),
                                                             QStringLiteral("--pid"),
                                                             QString::number(xterm.processId())});
    ASSERT_TRUE(window);
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                         QString::fromLatin1(window->trimmed().split('\n').last())}));
    ASSERT_TRUE(waitUntil([&] { return target.state() && !target.state()->active; }));
    EXPECT_EQ(runBlocking(inserter.insertLayered(QStringLiteral("for later"))), InsertStrategy::noTarget);
    EXPECT_EQ(outputOf(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                 QStringLiteral("clipboard")}),
              QByteArrayLiteral("for later"));
    xterm.kill();
    xterm.waitForFinished(3000);
}

TEST_F(LayeredDesktopTest, OwnWindowIsNeverWrittenThroughTheBus)
{
    // The bus must not be asked about this process's own field: the call
    // would wait for an answer only this (blocked) thread could give.
    QWidget window;
    auto* field = new QLineEdit(&window);
    (new QVBoxLayout(&window))->addWidget(field);
    window.resize(300, 80);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window.winId())}));
    ASSERT_TRUE(waitUntil([&] { return window.isActiveWindow() && field->hasFocus(); }));

    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    AccessibilityInserter ax(
        bus, [] { return true; }, [] { return false; }, ownPid);
    QElapsedTimer elapsed;
    elapsed.start();
    try {
        runBlocking(ax.insert(QStringLiteral("x")));
        ADD_FAILURE() << "inserted into its own window";
    } catch (const AccessibilityInserterError& error) {
        EXPECT_EQ(error.kind(), AccessibilityInserterError::Kind::selfReflective);
    }
    EXPECT_LT(elapsed.elapsed(), 500);
    DefaultAccessibilityProbe probe(
        bus, [] { return true; }, [] { return false; }, ownPid);
    EXPECT_FALSE(probe.isTrustedAndHasFocus());
    EXPECT_TRUE(field->text().isEmpty());

    const LayeredInserter inserter = SystemLayeredInserter::make([] { return true; }, nullptr);
    EXPECT_EQ(runBlocking(inserter.insertLayered(QStringLiteral("mine"))), InsertStrategy::noTarget);
    EXPECT_TRUE(field->text().isEmpty());
}

} // namespace
} // namespace vellamor::test


