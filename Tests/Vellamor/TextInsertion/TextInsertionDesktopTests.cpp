#include "AccessibilityBusProcesses.h"
#include "DesktopTest.h"
#include "QtPrinters.h"
#include "TextTarget.h"
#include "WaitUntil.h"

#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/AccessibilityStatus/DBusAccessibilityStatus.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/Pasteboard/X11SelectionBroker.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/DefaultAccessibilityProbe.h"
#include "TextInsertion/Inserters/AccessibilityInserter.h"
#include "TextInsertion/Inserters/AccessibilityInserterError.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/SystemLayeredInserter.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <csignal>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

const QString qtTarget = QStringLiteral(VELLAMOR_QT_TEXT_TARGET);
const QString gtkTarget = QStringLiteral(VELLAMOR_GTK_TEXT_TARGET);
const QString gtk4Target = QStringLiteral(VELLAMOR_GTK4_TEXT_TARGET);
const qint64 ownPid = QCoreApplication::applicationPid();
const QString dictated = QStringLiteral("hello 世界🎉");

// An xterm (which offers no accessibility) whose window has the focus once this returns true.
bool startXterm(QProcess& xterm, const QStringList& arguments)
{
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    xterm.setProcessEnvironment(environment);
    xterm.start(QStringLiteral("xterm"), QStringList { QStringLiteral("-u8") } + arguments);
    const auto window
        = xterm.waitForStarted(static_cast<int>(hangCeiling.count())) ? windowOf(xterm.processId()) : std::nullopt;
    return window && xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), *window });
}

// A terminal's command: writes the first bytes of `text`'s length it receives, raw, to a file in `dir`.
QStringList receiveScript(const QString& text, const QTemporaryDir& dir)
{
    return { QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
        QStringLiteral("stty raw -echo; head -c %1 > '%2.part' && mv '%2.part' '%2'")
            .arg(text.toUtf8().size())
            .arg(dir.filePath(QStringLiteral("received"))) };
}

// What receiveScript() wrote, once it has; empty if it never does.
QString receivedText(const QTemporaryDir& dir)
{
    QFile file(dir.filePath(QStringLiteral("received")));
    waitUntil([&] { return file.exists(); });
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Each insertion layer on its own, into a field of another process.
// The parameter is the widget, which also names the toolkit.
class TextInsertionDesktopTest : public DesktopTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        // Listening for focus from before the target starts, as the application does.
        bus_ = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
        ASSERT_TRUE(runBlocking(bus_->connected()));
    }

    // Shows the target holding `text`, `chosen` selected right after `prefix`
    // (nothing chosen: the caret there), focused.
    bool start(const QString& text, const QString& prefix, const QString& chosen = {})
    {
        const QString widget = QString::fromLatin1(GetParam());
        target_ = std::make_unique<TextTarget>(widget.startsWith(QStringLiteral("Gtk")) ? gtkTarget : qtTarget,
            QStringList { widget, text, prefix, chosen });
        return target_->isReady();
    }

    void insertThroughAccessibility()
    {
        const auto trusted = [] { return true; };
        const auto preferKeyboard = [] { return false; };
        DefaultAccessibilityProbe probe(bus_, injector_, trusted, preferKeyboard, ownPid);
        ASSERT_TRUE(waitUntil([&] { return runBlocking(probe.focusTarget()) == FocusTarget::element; }));
        AccessibilityInserter ax(bus_, trusted, preferKeyboard, ownPid);
        EXPECT_NO_THROW(runBlocking(ax.insert(dictated)));
    }

    std::shared_ptr<platform::AtspiAccessibilityBus> bus_;
    std::shared_ptr<platform::XTestKeyInjector> injector_ = std::make_shared<platform::XTestKeyInjector>();
    std::unique_ptr<TextTarget> target_;
};

TEST_P(TextInsertionDesktopTest, AccessibilityInsertsAtTheCaret)
{
    ASSERT_TRUE(start(QStringLiteral("a🎉bcdef"), QStringLiteral("a🎉bc")));
    insertThroughAccessibility();
    EXPECT_EQ(target_->waitForText(QStringLiteral("a🎉bchello 世界🎉def")), QStringLiteral("a🎉bchello 世界🎉def"));
}

TEST_P(TextInsertionDesktopTest, AccessibilityReplacesTheSelection)
{
    ASSERT_TRUE(start(QStringLiteral("x🎉abcdefy"), QStringLiteral("x🎉a"), QStringLiteral("bcd")));
    insertThroughAccessibility();
    EXPECT_EQ(target_->waitForText(QStringLiteral("x🎉ahello 世界🎉efy")), QStringLiteral("x🎉ahello 世界🎉efy"));
}

// The bus hands out an element per question: a field asked about twice is one
// element, the same field in another process (at the same path) is not.
TEST_P(TextInsertionDesktopTest, AFieldIsOneElementAtEveryQuestionAndItsTwinInAnotherProcessIsNot)
{
    const auto focusedShowing = [&](const QString& text) {
        std::shared_ptr<platform::AccessibleElement> element;
        const bool shown = waitUntil([&] {
            element = runBlocking(bus_->focusedElement());
            return element && runBlocking(bus_->text(element)) == text;
        }, 5s);
        return shown ? element : nullptr;
    };
    ASSERT_TRUE(start(QStringLiteral("first"), QStringLiteral("first")));
    const auto first = focusedShowing(QStringLiteral("first"));
    const auto again = focusedShowing(QStringLiteral("first"));
    ASSERT_TRUE(first && again);
    EXPECT_TRUE(bus_->isSameElement(*first, *again));

    const auto firstTarget = std::move(target_);
    ASSERT_TRUE(start(QStringLiteral("second"), QStringLiteral("second")));
    const auto other = focusedShowing(QStringLiteral("second"));
    ASSERT_TRUE(other);
    EXPECT_FALSE(bus_->isSameElement(*first, *other));
}

TEST_P(TextInsertionDesktopTest, KeystrokesTypeLatinChineseAndEmojiIntact)
{
    // More distinct characters outside the layout than one batch holds.
    const QString text = QStringLiteral("Mixed 中文 text, Ünïcödé ✓ 🎉 and 二十个不同的汉字在这里一起出现! OK");
    ASSERT_TRUE(start(QStringLiteral("["), QStringLiteral("[")));
    ASSERT_TRUE(injector_->isAvailable());
    const auto insertKey = injector_->keyForSpecial(platform::SpecialKey::insert);
    {
        KeystrokeInserter keyboard(injector_, nullptr);
        EXPECT_NO_THROW(runBlocking(keyboard.insert(text), 30s));
        EXPECT_EQ(target_->waitForText(QStringLiteral("[") + text), QStringLiteral("[") + text);
    }

    // Once the inserter is gone the keymap is as it was: the spare keys type nothing
    // again, and a key that lies between them (they are scattered) is untouched.
    EXPECT_EQ(injector_->spareKeyCodes(16).size(), 16u);
    ASSERT_TRUE(injector_->isAvailable());
    EXPECT_EQ(injector_->keyForSpecial(platform::SpecialKey::insert), insertKey);
}

TEST_P(TextInsertionDesktopTest, PasteInsertsAndPutsTheEarlierClipboardBack)
{
    const QString earlierText = QStringLiteral("earlier 文本");
    const QString earlierHtml = QStringLiteral("<b>earlier</b> 文本");
    TextTarget owner(qtTarget, { QStringLiteral("owner"), earlierText, earlierHtml });
    ASSERT_TRUE(owner.isReady());
    const QByteArray ownerPng = clipboardContent("clipboard", "image/png");
    ASSERT_EQ(QImage::fromData(ownerPng, "PNG").size(), QSize(4, 3));

    ASSERT_TRUE(start(QStringLiteral("<>"), QStringLiteral("<")));
    ClipboardInserter clipboard(std::make_shared<platform::X11SelectionBroker>(shortLoans()), injector_, nullptr);
    EXPECT_NO_THROW(runBlocking(clipboard.insert(dictated)));
    EXPECT_EQ(target_->waitForText(QStringLiteral("<hello 世界🎉>")), QStringLiteral("<hello 世界🎉>"));

    // Read back by another client, as any application would, once the loan is over.
    EXPECT_EVENTUALLY_EQ(QString::fromUtf8(clipboardContent("clipboard", "UTF8_STRING")), earlierText);
    EXPECT_EQ(QString::fromUtf8(clipboardContent("clipboard", "text/html")), earlierHtml);
    EXPECT_EQ(clipboardContent("clipboard", "image/png"), ownerPng);
    EXPECT_EQ(QString::fromUtf8(clipboardContent("primary", "UTF8_STRING")), earlierText);
}

INSTANTIATE_TEST_SUITE_P(Widgets, TextInsertionDesktopTest,
                         ::testing::Values("QtLineEdit", "QtTextEdit", "GtkEntry", "GtkTextView"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

struct TerminalKind {
    const char* name;
    QString windowClass;
    QStringList arguments;
};

void PrintTo(const TerminalKind& kind, std::ostream* os)
{
    *os << kind.name;
}

class TerminalDesktopTest : public DesktopTest, public ::testing::WithParamInterface<TerminalKind> {
};

// xterm pastes the primary selection on Shift+Insert; dressed as GNOME's
// terminal it pastes the clipboard on Ctrl+Shift+V and nothing on Shift+Insert.
TEST_P(TerminalDesktopTest, TerminalReceivesThePasteThroughItsChord)
{
    const QString text = QStringLiteral("echo 世界 ok");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess xterm;
    ASSERT_TRUE(startXterm(xterm, GetParam().arguments + receiveScript(text, dir)));
    auto injector = std::make_shared<platform::XTestKeyInjector>();
    ASSERT_TRUE(waitUntil([&] { return injector->activeWindowClass().contains(GetParam().windowClass); }));

    ClipboardInserter clipboard(std::make_shared<platform::X11SelectionBroker>(), injector, nullptr);
    EXPECT_NO_THROW(runBlocking(clipboard.insert(text)));
    EXPECT_EQ(receivedText(dir), text);
    xterm.kill();
    xterm.waitForFinished(3000);
}

INSTANTIATE_TEST_SUITE_P(Chords, TerminalDesktopTest,
    ::testing::Values(TerminalKind { "ShiftInsert", QStringLiteral("XTerm"), {} },
        TerminalKind { "ControlShiftV", QStringLiteral("Gnome-terminal"),
            { QStringLiteral("-name"), QStringLiteral("gnome-terminal-server"), QStringLiteral("-class"),
                QStringLiteral("Gnome-terminal"), QStringLiteral("-xrm"),
                QStringLiteral("*VT100.translations: #override Shift<Key>Insert: bell()\\n"
                               " Ctrl Shift<Key>V: insert-selection(CLIPBOARD)") } }),
    [](const ::testing::TestParamInfo<TerminalKind>& info) { return std::string(info.param.name); });

using Gtk4TargetDesktopTest = DesktopTest;

// The GTK 4 entry keeps the focus in an inner widget: the target must still
// count itself focused, place the caret or selection it was given and report
// what the keyboard typed.
TEST_F(Gtk4TargetDesktopTest, ReportsWhatIsTypedAtTheGivenCaretOrOverTheSelection)
{
    const struct {
        const char* name;
        QStringList arguments;
        QString expected;
    } cases[] = {
        { "caret", { QStringLiteral("ad"), QStringLiteral("a") }, QStringLiteral("abcd") },
        { "selection", { QStringLiteral("axyd"), QStringLiteral("a"), QStringLiteral("xy") }, QStringLiteral("abcd") },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TextTarget target(gtk4Target, QStringList { QStringLiteral("GtkEntry") } + c.arguments);
        ASSERT_TRUE(target.isReady());
        ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("bc") }));
        EXPECT_EQ(target.waitForText(c.expected), c.expected);
    }
}

using LayeredDesktopTest = DesktopTest;

LayeredInserter desktopInserter(
    SyntheticInputGuard::Notify ignoreSynthetic, std::shared_ptr<platform::AtspiAccessibilityBus> bus = nullptr)
{
    return SystemLayeredInserter::make(bus ? bus : std::make_shared<platform::AtspiAccessibilityBus>(ownPid),
                                       std::make_shared<platform::XTestKeyInjector>(),
                                       std::make_shared<platform::X11SelectionBroker>(), [] { return true; },
                                       std::move(ignoreSynthetic), UserDefaults::standard());
}

// A GTK 4 entry answers an empty whole text while it counts its characters,
// and leaves the caret in front of a text written at it: each text arrives
// once, is reported written, and the next one follows it.
TEST_F(LayeredDesktopTest, AGtk4EntryGetsEachTextOnceAndInOrder)
{
    const LayeredInserter inserter = desktopInserter(nullptr);
    TextTarget target(gtk4Target, { QStringLiteral("GtkEntry"), QStringLiteral("hello!"), QStringLiteral("hello") });
    ASSERT_TRUE(target.isReady());
    ASSERT_TRUE(waitUntil([&] { return runBlocking(inserter.probe()->focusTarget()) == FocusTarget::element; }));
    EXPECT_EQ(runBlocking(inserter.insertLayered(QStringLiteral(" 世界"))), InsertStrategy::ax);
    EXPECT_EQ(runBlocking(inserter.insertLayered(QStringLiteral("🎉"))), InsertStrategy::ax);
    EXPECT_EQ(target.waitForText(QStringLiteral("hello 世界🎉!")), QStringLiteral("hello 世界🎉!"));
}

// xterm shows nothing on the accessibility bus, yet takes keys.
TEST_F(LayeredDesktopTest, AccessibleFieldIsWrittenThroughAccessibilityAndXtermTakesKeystrokes)
{
    std::vector<bool> guard;
    const LayeredInserter inserter = desktopInserter([&guard](bool ignoring) { guard.push_back(ignoring); });
    TextTarget target(qtTarget, { QStringLiteral("QtLineEdit") });
    ASSERT_TRUE(target.isReady());
    EXPECT_EQ(runBlocking(inserter.insertLayered(dictated)), InsertStrategy::ax);
    EXPECT_EQ(target.waitForText(dictated), dictated);
    EXPECT_TRUE(guard.empty());

    // The previous field must not count as focused any more.
    const QString text = QStringLiteral("echo 世界🎉 ok");
    QTemporaryDir dir;
    QProcess xterm;
    ASSERT_TRUE(startXterm(xterm, receiveScript(text, dir)));
    ASSERT_TRUE(waitUntil([&] { return !target.isFocused(); }));
    EXPECT_EQ(runBlocking(inserter.insertLayered(text)), InsertStrategy::keyboard);
    EXPECT_EQ(receivedText(dir), text);
    xterm.kill();
    xterm.waitForFinished(3000);
}

// LibreOffice Writer marks a panel focused above the paragraph the caret is
// in, and announces the panel after the paragraph. Whether the application
// heard that or walks the window for the focus, the text goes into the field
// through the bus.
TEST_F(LayeredDesktopTest, AFocusedPanelAboveTheFieldIsNotTakenForIt)
{
    for (const bool heard : { true, false }) {
        SCOPED_TRACE(heard ? "focus events heard" : "focus found by walking the window");
        const auto listening = [] {
            auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
            EXPECT_TRUE(runBlocking(bus->connected()));
            return bus;
        };
        auto bus = heard ? listening() : nullptr;
        TextTarget target(qtTarget, { QStringLiteral("QtFocusedPanelTextEdit"), QStringLiteral("ab"), QStringLiteral("a") });
        ASSERT_TRUE(target.isReady());
        if (!heard)
            bus = listening();
        const LayeredInserter inserter = desktopInserter(nullptr, bus);
        EXPECT_EQ(runBlocking(inserter.insertLayered(dictated)), InsertStrategy::ax);
        const QString expected = u'a' + dictated + u'b';
        EXPECT_EQ(target.waitForText(expected), expected);
    }
}

// Keys into a read-only field vanish without a trace; the bus shows it.
TEST_F(LayeredDesktopTest, ReadOnlyFieldLeavesTheTextOnTheClipboard)
{
    const LayeredInserter inserter = desktopInserter(nullptr);
    TextTarget target(qtTarget, { QStringLiteral("QtReadOnlyTextEdit"), QStringLiteral("fixed") });
    ASSERT_TRUE(target.isReady());
    EXPECT_EQ(runBlocking(inserter.insertLayered(dictated)), InsertStrategy::allFailed);
    // Put there by the clipboard's own thread, a moment later.
    EXPECT_EVENTUALLY_EQ(QString::fromUtf8(clipboardContent("clipboard", "UTF8_STRING")), dictated);
}

// Qt's read-only edit says so by its state, GTK's read-only view only by
// lacking the editable one. Such a field gets no layer: the GTK view fetches a
// paste and drops it, and a field plus text past the bus's limit is not read
// back, so the paste would count as inserted and the text be lost.
TEST_F(LayeredDesktopTest, AReadOnlyFieldGetsNoLayerForATextPastTheBusLimit)
{
    const LayeredInserter inserter = desktopInserter(nullptr);
    const QString shown = QStringLiteral("fourteen chars");
    const QString text = dictated.repeated(10'000);
    const struct {
        const char* widget;
        FocusTarget target;
    } cases[] = {
        { "GtkReadOnlyTextView", FocusTarget::readOnlyElement },
        { "QtReadOnlyTextEdit", FocusTarget::readOnlyElement },
        { "GtkEntry", FocusTarget::element },
        { "GtkTextView", FocusTarget::element },
        { "QtLineEdit", FocusTarget::element },
        { "QtTextEdit", FocusTarget::element },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.widget);
        const QString widget = QString::fromLatin1(c.widget);
        TextTarget target(widget.startsWith(QStringLiteral("Gtk")) ? gtkTarget : qtTarget, { widget, shown });
        ASSERT_TRUE(target.isReady());
        // The bus may show the field a little after its window has the focus.
        ASSERT_TRUE(
            waitUntil([&] { return runBlocking(inserter.probe()->focusTarget()) != FocusTarget::window; }, 5s));
        EXPECT_EQ(runBlocking(inserter.probe()->focusTarget()), c.target);
        if (c.target != FocusTarget::readOnlyElement)
            continue;
        EXPECT_EQ(runBlocking(inserter.insertLayered(text), 30s), InsertStrategy::allFailed);
        EXPECT_TRUE(waitUntil([&] { return QString::fromUtf8(clipboardContent("clipboard", "UTF8_STRING")) == text; }))
            << "the clipboard does not hold the text";
        EXPECT_EQ(target.waitForText(shown), shown);
    }
}

// A stopped application answers nothing, here for longer than a test may
// wait: the bus's call waits on its own thread while this one goes on, and
// its answer comes once the application does.
TEST_F(LayeredDesktopTest, AStoppedApplicationHoldsNoCallerOfTheBus)
{
    const auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid, 2 * hangCeiling);
    TextTarget target(gtkTarget, { QStringLiteral("GtkEntry"), QStringLiteral("held") });
    ASSERT_TRUE(target.isReady());
    std::shared_ptr<platform::AccessibleElement> field;
    ASSERT_TRUE(waitUntil([&] {
        field = runBlocking(bus->focusedElement());
        return field && runBlocking(bus->text(field)) == QStringLiteral("held");
    }));

    ::kill(static_cast<pid_t>(target.processId()), SIGSTOP);
    auto read = bus->text(field);
    std::optional<bool> answeredAtTheNextTurn;
    QTimer::singleShot(0, [&] { answeredAtTheNextTurn = read.isReady(); });
    EXPECT_TRUE(waitUntil([&] { return answeredAtTheNextTurn.has_value(); }));
    EXPECT_EQ(answeredAtTheNextTurn, false);
    ::kill(static_cast<pid_t>(target.processId()), SIGCONT);
    EXPECT_EQ(runBlocking(std::move(read)), QStringLiteral("held"));
}

// The launcher's end takes its bus along; the next question for the bus's
// address has the session bus start another launcher, with a bus of its own.
TEST_F(LayeredDesktopTest, ARestartedAccessibilityBusIsConnectedToAgain)
{
    const auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    ASSERT_TRUE(runBlocking(bus->connected()));
    const LayeredInserter inserter = desktopInserter(nullptr, bus);

    const pid_t launcher = busLauncher();
    ASSERT_GT(launcher, 0);
    ::kill(launcher, SIGTERM);
    // Each question runs the event loop until gdbus ends.
    const auto gone = std::chrono::steady_clock::now() + hangCeiling;
    while (!askSessionBus("NameHasOwner", QStringLiteral("org.a11y.Bus")).contains(u"false"))
        ASSERT_LT(std::chrono::steady_clock::now(), gone) << "the launcher did not end";
    ASSERT_TRUE(runTool(QStringLiteral("gdbus"),
        { QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"), QStringLiteral("org.a11y.Bus"),
            QStringLiteral("--object-path"), QStringLiteral("/org/a11y/bus"), QStringLiteral("--method"),
            QStringLiteral("org.a11y.Bus.GetAddress") }));

    // A read-only field swallows keys: only the bus tells.
    TextTarget target(gtkTarget, { QStringLiteral("GtkReadOnlyTextView"), QStringLiteral("fixed") });
    ASSERT_TRUE(target.isReady());
    ASSERT_TRUE(waitUntil([&] { return runBlocking(inserter.probe()->focusTarget()) != FocusTarget::window; }));
    EXPECT_EQ(runBlocking(inserter.probe()->focusTarget()), FocusTarget::readOnlyElement);
    EXPECT_EQ(runBlocking(inserter.insertLayered(dictated)), InsertStrategy::allFailed);
    EXPECT_EQ(target.waitForText(QStringLiteral("fixed")), QStringLiteral("fixed"));
}

// A stopped launcher answers nothing, here for longer than a test may wait:
// the switch answers with what the launcher said last, the bus connects in
// the background, and neither holds its caller.
TEST_F(LayeredDesktopTest, AStoppedBusLauncherHoldsNoCaller)
{
    const platform::DBusAccessibilityStatus status(2 * hangCeiling);
    EXPECT_EVENTUALLY_EQ(status.isEnabled(), std::optional<bool>(true));
    const pid_t launcher = busLauncher();
    ASSERT_GT(launcher, 0);
    ::kill(launcher, SIGSTOP);
    const auto resume = qScopeGuard([launcher] { ::kill(launcher, SIGCONT); });

    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(status.isEnabled(), std::optional<bool>(true));
    EXPECT_EQ(status.isEnabled(), std::optional<bool>(true));
    const auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid, 2 * hangCeiling);
    auto connecting = bus->connected();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, hangCeiling);
    std::optional<bool> connectedAtTheNextTurn;
    QTimer::singleShot(0, [&] { connectedAtTheNextTurn = connecting.isReady(); });
    EXPECT_TRUE(waitUntil([&] { return connectedAtTheNextTurn.has_value(); }));
    EXPECT_EQ(connectedAtTheNextTurn, false);

    ::kill(launcher, SIGCONT);
    EXPECT_TRUE(runBlocking(std::move(connecting)));
}

// The bus's own daemon stopped while its launcher answers: a connection to
// it would wait to be let in for longer than a test may wait, holding Qt's
// bus thread and the pool thread that asked. It fails in time instead, and
// the bus is connected to once the daemon goes on.
TEST_F(LayeredDesktopTest, AStoppedBusDaemonFailsTheConnectionInTime)
{
    // Qt's own bridge comes with the first question and connects at once,
    // here while the daemon runs.
    static_cast<void>(QAccessible::isActive());
    const pid_t daemon = busDaemon();
    ASSERT_GT(daemon, 0);
    ::kill(daemon, SIGSTOP);
    const auto resume = qScopeGuard([daemon] { ::kill(daemon, SIGCONT); });

    const auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid, 200ms);
    EXPECT_FALSE(runBlocking(bus->connected()));
    ::kill(daemon, SIGCONT);
    EXPECT_TRUE(runBlocking(bus->connected()));
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
    ASSERT_TRUE(
        xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window.winId()) }));
    ASSERT_TRUE(waitUntil([&] { return window.isActiveWindow() && field->hasFocus(); }));

    AccessibilityInserter ax(
        std::make_shared<platform::AtspiAccessibilityBus>(ownPid), [] { return true; }, [] { return false; }, ownPid);
    try {
        runBlocking(ax.insert(QStringLiteral("x")));
        ADD_FAILURE() << "inserted into its own window";
    } catch (const AccessibilityInserterError& error) {
        EXPECT_EQ(error.kind(), AccessibilityInserterError::Kind::selfReflective);
    }

    const LayeredInserter inserter = desktopInserter(nullptr);
    EXPECT_EQ(runBlocking(inserter.insertLayered(QStringLiteral("mine"))), InsertStrategy::noTarget);
    EXPECT_TRUE(field->text().isEmpty());
}

} // namespace
} // namespace vellamor::test
