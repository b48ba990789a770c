#include "FakeAccessibilityBus.h"
#include "FakePasteboard.h"
#include "InsertStrategyPrinter.h"
#include "QtPrinters.h"
#include "RecordingInserter.h"
#include "RecordingSystemLog.h"

#include "Support/Async/RunBlocking.h"
#include "Support/Async/Sleep.h"
#include "TextInsertion/DefaultAccessibilityProbe.h"
#include "TextInsertion/Inserters/AccessibilityInserterError.h"
#include "TextInsertion/Inserters/ClipboardInserterError.h"
#include "TextInsertion/Inserters/KeystrokeInserterError.h"
#include "TextInsertion/LayeredInserter.h"
#include "TextInsertion/LayeredInserterOutput.h"

#include <gmock/gmock.h>

#include <functional>
#include <stdexcept>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using platform::PasteboardSelection;

const std::vector<platform::PasteboardEntry> earlierClipboard{
    {QStringLiteral("text/plain"), QByteArrayLiteral("earlier")},
    {QStringLiteral("text/html"), QByteArrayLiteral("<b>earlier</b>")},
};

class LayeredInserterTest : public ::testing::Test {
protected:
    LayeredInserterTest()
    {
        pasteboard_->hold(PasteboardSelection::clipboard, earlierClipboard);
    }

    LayeredInserter inserter() const
    {
        return LayeredInserter(ax_, keyboard_, clipboard_, probe_, pasteboard_, std::make_shared<InsertionQueue>());
    }

    InsertStrategy insert(const QString& text) { return runBlocking(inserter().insertLayered(text)); }

    std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
    std::shared_ptr<RecordingInserter> ax_ = std::make_shared<RecordingInserter>(QStringLiteral("ax"), log_);
    std::shared_ptr<RecordingInserter> keyboard_ =
        std::make_shared<RecordingInserter>(QStringLiteral("keyboard"), log_);
    std::shared_ptr<RecordingInserter> clipboard_ =
        std::make_shared<RecordingInserter>(QStringLiteral("clipboard"), log_);
    std::shared_ptr<RecordingProbe> probe_ = std::make_shared<RecordingProbe>(log_);
    std::shared_ptr<FakePasteboard> pasteboard_ = std::make_shared<FakePasteboard>();
};

TEST_F(LayeredInserterTest, EmptyTextIsAnAccessibilitySuccessThatTouchesNothing)
{
    EXPECT_EQ(insert(QString()), InsertStrategy::ax);
    EXPECT_TRUE(log_->calls().isEmpty());
    EXPECT_TRUE(pasteboard_->writes().empty());
    EXPECT_EQ(pasteboard_->contents(PasteboardSelection::clipboard), earlierClipboard);
}

TEST_F(LayeredInserterTest, NoTargetLeavesExactlyTheTextOnTheClipboardWithoutCallingALayer)
{
    probe_->answer = false;
    EXPECT_EQ(insert(QStringLiteral("你好 world")), InsertStrategy::noTarget);
    EXPECT_EQ(log_->calls(), QStringList{QStringLiteral("probe")});
    const std::vector<platform::PasteboardEntry> expected{
        {QStringLiteral("text/plain"), QStringLiteral("你好 world").toUtf8()}};
    EXPECT_EQ(pasteboard_->contents(PasteboardSelection::clipboard), expected);
    EXPECT_TRUE(pasteboard_->contents(PasteboardSelection::primary).empty());
}

// How each layer ends in one row of the table.
enum class Ends { ok, notWritten, notSupported, noFocus, notTrusted, failedCode, selfReflective, sourceUnavailable,
                  buildFailedBeforeTyping, buildFailedAfterTyping, pasteFailed, otherError, unused };

void configure(RecordingInserter& layer, Ends ends)
{
    switch (ends) {
    case Ends::ok:
    case Ends::unused:
        break;
    case Ends::notWritten:
        layer.failWith(AccessibilityInserterError::notWritten());
        break;
    case Ends::notSupported:
        layer.failWith(AccessibilityInserterError::notSupported());
        break;
    case Ends::noFocus:
        layer.failWith(AccessibilityInserterError::noFocus());
        break;
    case Ends::notTrusted:
        layer.failWith(AccessibilityInserterError::notTrusted());
        break;
    case Ends::failedCode:
        layer.failWith(AccessibilityInserterError::failed(-25202));
        break;
    case Ends::selfReflective:
        layer.failWith(AccessibilityInserterError::selfReflective());
        break;
    case Ends::sourceUnavailable:
        layer.failWith(KeystrokeInserterError::sourceUnavailable());
        break;
    case Ends::buildFailedBeforeTyping:
        layer.failWith(KeystrokeInserterError::buildFailed(0));
        break;
    case Ends::buildFailedAfterTyping:
        layer.failWith(KeystrokeInserterError::buildFailed(3));
        break;
    case Ends::pasteFailed:
        layer.failWith(ClipboardInserterError::eventBuildFailed());
        break;
    case Ends::otherError:
        layer.failWith(std::runtime_error("unexpected"));
        break;
    }
}

struct LayerCase {
    const char* name;
    Ends ax;
    Ends keyboard;
    Ends clipboard;
    InsertStrategy expected;
    QStringList calls;
    // Whether the text is left on the clipboard afterwards.
    bool textLeftOnClipboard;
};

class LayerOrderTest : public LayeredInserterTest, public ::testing::WithParamInterface<LayerCase> {
};

TEST_P(LayerOrderTest, TriesLayersInOrderAndReportsTheOneThatWorked)
{
    const LayerCase& c = GetParam();
    configure(*ax_, c.ax);
    configure(*keyboard_, c.keyboard);
    configure(*clipboard_, c.clipboard);
    // A failing clipboard layer puts the earlier clipboard back before it
    // throws; a final write must still leave the text.
    if (c.clipboard == Ends::pasteFailed) {
        clipboard_->behave([this]() -> QCoro::Task<void> {
            pasteboard_->setEntries(PasteboardSelection::clipboard, earlierClipboard);
            throw ClipboardInserterError::eventBuildFailed();
            co_return;
        });
    }

    EXPECT_EQ(insert(QStringLiteral("abc")), c.expected);
    QStringList expectedCalls{QStringLiteral("probe")};
    for (const QString& layer : c.calls)
        expectedCalls << layer + QStringLiteral("(abc)");
    EXPECT_EQ(log_->calls(), expectedCalls);
    if (c.textLeftOnClipboard) {
        EXPECT_EQ(pasteboard_->text(PasteboardSelection::clipboard), QStringLiteral("abc"));
    } else {
        EXPECT_EQ(pasteboard_->contents(PasteboardSelection::clipboard), earlierClipboard);
    }
}

const QString ax = QStringLiteral("ax");
const QString keyboard = QStringLiteral("keyboard");
const QString clipboard = QStringLiteral("clipboard");

INSTANTIATE_TEST_SUITE_P(
    Layers, LayerOrderTest,
    ::testing::Values(
        LayerCase{"AccessibilityWorks", Ends::ok, Ends::unused, Ends::unused, InsertStrategy::ax, {ax}, false},
        LayerCase{"NotWrittenGoesToKeyboard", Ends::notWritten, Ends::ok, Ends::unused, InsertStrategy::keyboard,
                  {ax, keyboard}, false},
        LayerCase{"NotSupportedGoesToKeyboard", Ends::notSupported, Ends::ok, Ends::unused,
                  InsertStrategy::keyboard, {ax, keyboard}, false},
        LayerCase{"NoFocusGoesToKeyboard", Ends::noFocus, Ends::ok, Ends::unused, InsertStrategy::keyboard,
                  {ax, keyboard}, false},
        LayerCase{"NotTrustedGoesToKeyboard", Ends::notTrusted, Ends::ok, Ends::unused, InsertStrategy::keyboard,
                  {ax, keyboard}, false},
        LayerCase{"FailedCallGoesToKeyboard", Ends::failedCode, Ends::ok, Ends::unused, InsertStrategy::keyboard,
                  {ax, keyboard}, false},
        LayerCase{"ForeignErrorGoesToKeyboard", Ends::otherError, Ends::ok, Ends::unused,
                  InsertStrategy::keyboard, {ax, keyboard}, false},
        LayerCase{"SelfReflectiveSkipsKeyboard", Ends::selfReflective, Ends::unused, Ends::ok,
                  InsertStrategy::clipboard, {ax, clipboard}, false},
        LayerCase{"SelfReflectiveThenPasteFails", Ends::selfReflective, Ends::unused, Ends::pasteFailed,
                  InsertStrategy::allFailed, {ax, clipboard}, true},
        LayerCase{"NoKeyboardPastes", Ends::notWritten, Ends::sourceUnavailable, Ends::ok,
                  InsertStrategy::clipboard, {ax, keyboard, clipboard}, false},
        LayerCase{"KeyboardFailingBeforeTypingPastes", Ends::notWritten, Ends::buildFailedBeforeTyping, Ends::ok,
                  InsertStrategy::clipboard, {ax, keyboard, clipboard}, false},
        LayerCase{"KeyboardFailingAfterTypingDoesNotPasteAgain", Ends::notWritten, Ends::buildFailedAfterTyping,
                  Ends::unused, InsertStrategy::allFailed, {ax, keyboard}, true},
        LayerCase{"AllFailLeavesTheText", Ends::notWritten, Ends::sourceUnavailable, Ends::pasteFailed,
                  InsertStrategy::allFailed, {ax, keyboard, clipboard}, true},
        LayerCase{"ForeignKeyboardErrorPastes", Ends::notWritten, Ends::otherError, Ends::ok,
                  InsertStrategy::clipboard, {ax, keyboard, clipboard}, false}),
    [](const ::testing::TestParamInfo<LayerCase>& info) { return std::string(info.param.name); });

TEST_F(LayeredInserterTest, PreferringKeystrokesLeavesTheTextOnTheClipboardWithoutTryingALayer)
{
    // As documented: with the flag set no layer runs at all, even with a
    // writable field of another application in focus.
    auto bus = std::make_shared<FakeAccessibilityBus>();
    bus->focus(FakeAccessibilityBus::Field{});
    const LayeredInserter preferring(
        ax_, keyboard_, clipboard_,
        std::make_shared<DefaultAccessibilityProbe>(
            bus, [] { return true; }, [] { return true; }, 1000),
        pasteboard_, std::make_shared<InsertionQueue>());
    EXPECT_EQ(runBlocking(preferring.insertLayered(QStringLiteral("typed"))), InsertStrategy::noTarget);
    EXPECT_TRUE(log_->calls().isEmpty());
    EXPECT_EQ(pasteboard_->text(PasteboardSelection::clipboard), QStringLiteral("typed"));
}

TEST_F(LayeredInserterTest, CopiesShareTheirLayers)
{
    const LayeredInserter original = inserter();
    const LayeredInserter copy = original;
    EXPECT_EQ(copy.ax(), original.ax());
    EXPECT_EQ(runBlocking(copy.insertLayered(QStringLiteral("x"))), InsertStrategy::ax);
    EXPECT_EQ(log_->calls(), (QStringList{QStringLiteral("probe"), QStringLiteral("ax(x)")}));
}

TEST_F(LayeredInserterTest, ConcurrentInsertionsRunOneAfterAnother)
{
    // The first text's keyboard layer takes a while; the second insertion
    // must not probe, let alone type, until the first has finished.
    ax_->failWith(AccessibilityInserterError::notWritten());
    keyboard_->behave([this]() -> QCoro::Task<void> {
        co_await sleepFor(30ms);
        log_->record(QStringLiteral("keyboard done"));
    });
    const auto queue = std::make_shared<InsertionQueue>();
    const LayeredInserter first(ax_, keyboard_, clipboard_, probe_, pasteboard_, queue);
    const LayeredInserter second = first;

    auto both = [](LayeredInserter a, LayeredInserter b) -> QCoro::Task<std::pair<InsertStrategy, InsertStrategy>> {
        auto taskA = a.insertLayered(QStringLiteral("one"));
        auto taskB = b.insertLayered(QStringLiteral("two"));
        const InsertStrategy ra = co_await std::move(taskA);
        const InsertStrategy rb = co_await std::move(taskB);
        co_return std::make_pair(ra, rb);
    };
    const auto [one, two] = runBlocking(both(first, second));
    EXPECT_EQ(one, InsertStrategy::keyboard);
    EXPECT_EQ(two, InsertStrategy::keyboard);
    EXPECT_EQ(log_->calls(),
              (QStringList{QStringLiteral("probe"), QStringLiteral("ax(one)"), QStringLiteral("keyboard(one)"),
                           QStringLiteral("keyboard done"), QStringLiteral("probe"), QStringLiteral("ax(two)"),
                           QStringLiteral("keyboard(two)"), QStringLiteral("keyboard done")}));
    EXPECT_FALSE(queue->isBusy());
}

TEST(InsertStrategyTest, RawValuesRoundTripAndNothingElseParses)
{
    const std::pair<InsertStrategy, const char*> cases[] = {
        {InsertStrategy::ax, "ax"},
        {InsertStrategy::keyboard, "keyboard"},
        {InsertStrategy::clipboard, "clipboard"},
        {InsertStrategy::noTarget, "noTarget"},
        {InsertStrategy::allFailed, "allFailed"},
    };
    for (const auto& [strategy, raw] : cases) {
        EXPECT_EQ(rawValue(strategy), QString::fromLatin1(raw));
        EXPECT_EQ(insertStrategyFromRawValue(QString::fromLatin1(raw)), strategy);
    }
    for (const char* other : {"AX", "notarget", "", "all_failed"})
        EXPECT_EQ(insertStrategyFromRawValue(QString::fromLatin1(other)), std::nullopt) << other;
}

TEST_F(LayeredInserterTest, OutputLogsLengthInCharactersAndTheOutcome)
{
    ax_->failWith(AccessibilityInserterError::notWritten());
    auto systemLog = std::make_shared<RecordingSystemLog>();
    LayeredInserterOutput output(inserter(), VellamorLog(QStringLiteral("com.vellamor.app"),
                                                         QStringLiteral("text-inserter-output"), systemLog, nullptr));
    runBlocking(output.deliver(QStringLiteral("👍🏽好a")));

    QStringList lines;
    for (const auto& entry : systemLog->entries()) {
        EXPECT_EQ(entry.category, QStringLiteral("text-inserter-output"));
        EXPECT_EQ(entry.level, SystemLogLevel::Info);
        lines << entry.publicPart;
    }
    EXPECT_EQ(lines, (QStringList{QStringLiteral("deliver called: length=3"),
                                  QStringLiteral("deliver finished: strategy=keyboard")}));
    EXPECT_EQ(log_->calls().last(), QStringLiteral("keyboard(👍🏽好a)"));
}

} // namespace
} // namespace vellamor::test
