#include "CallLog.h"
#include "FakeAccessibilityBus.h"
#include "FakePasteboard.h"
#include "QtPrinters.h"
#include "RecordingInsertionSleep.h"

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

namespace vellamor::test
{
namespace
{

using namespace std::chrono_literals;
using platform::PasteboardSelection;
using Behaviour = std::function<QCoro::Task<void>()>;
using AxError = AccessibilityInserterError;
using KeysError = KeystrokeInserterError;

const std::vector<PasteboardEntry> earlierClipboard {
    { QStringLiteral("text/plain"), QByteArrayLiteral("earlier") },
    { QStringLiteral("text/html"), QByteArrayLiteral("<b>earlier</b>") },
};

// A layer that records "<name>(<text>)" in a shared log, then runs its
// behaviour (which may wait or throw); without one it succeeds.
class RecordingLayer final : public AnyInserter
{
public:
    RecordingLayer(QString name, std::shared_ptr<CallLog> log)
        : name_(std::move(name))
        , log_(std::move(log))
    {
    }

    QCoro::Task<void> insert(QString text) override
    {
        log_->record(name_ + u'(' + text + u')');
        if (behaviour)
            co_await behaviour();
    }

    Behaviour behaviour;

private:
    QString name_;
    std::shared_ptr<CallLog> log_;
};

class RecordingProbe final : public AccessibilityProbing
{
public:
    explicit RecordingProbe(std::shared_ptr<CallLog> log)
        : log_(std::move(log))
    {
    }

    QCoro::Task<FocusTarget> focusTarget() override
    {
        log_->record(QStringLiteral("probe"));
        co_return answer;
    }

    // Each read takes the next of `texts`, the last one repeating.
    QCoro::Task<std::optional<QString>> focusedText() override
    {
        const auto text = texts.empty() ? std::nullopt : texts.front();
        if (texts.size() > 1)
            texts.erase(texts.begin());
        co_return text;
    }

    FocusTarget answer = FocusTarget::element;
    std::vector<std::optional<QString>> texts;

private:
    std::shared_ptr<CallLog> log_;
};

template <typename E> Behaviour throwing(E error)
{
    return [error]() -> QCoro::Task<void> {
        throw error;
        co_return;
    };
}

class LayeredInserterTest : public ::testing::Test
{
protected:
    LayeredInserterTest() { pasteboard_->hold(PasteboardSelection::clipboard, earlierClipboard); }

    LayeredInserter inserter()
    {
        return LayeredInserter(ax_, keyboard_, clipboard_, probe_, pasteboard_, std::make_shared<InsertionQueue>(),
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("test"), nullptr, nullptr), sleep_.sleep(),
            sleep_.steadyClock());
    }

    InsertStrategy insert(const QString& text) { return runBlocking(inserter().insertLayered(text)); }

    // A fresh log and clipboard, layers that behave so, and the focus.
    void arrange(Behaviour ax, Behaviour keyboard, Behaviour clipboard, FocusTarget focus,
        std::vector<std::optional<QString>> fieldTexts)
    {
        log_->clear();
        pasteboard_->hold(PasteboardSelection::clipboard, earlierClipboard);
        ax_->behaviour = std::move(ax);
        keyboard_->behaviour = std::move(keyboard);
        clipboard_->behaviour = std::move(clipboard);
        probe_->answer = focus;
        probe_->texts = std::move(fieldTexts);
    }

    std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
    std::shared_ptr<RecordingLayer> ax_ = std::make_shared<RecordingLayer>(QStringLiteral("ax"), log_);
    std::shared_ptr<RecordingLayer> keyboard_ = std::make_shared<RecordingLayer>(QStringLiteral("keyboard"), log_);
    std::shared_ptr<RecordingLayer> clipboard_ = std::make_shared<RecordingLayer>(QStringLiteral("clipboard"), log_);
    std::shared_ptr<RecordingProbe> probe_ = std::make_shared<RecordingProbe>(log_);
    std::shared_ptr<FakePasteboard> pasteboard_ = std::make_shared<FakePasteboard>();
    RecordingInsertionSleep sleep_;
};

TEST_F(LayeredInserterTest, EmptyTextIsAnAccessibilitySuccessThatTouchesNothing)
{
    EXPECT_EQ(insert(QString()), InsertStrategy::ax);
    EXPECT_TRUE(log_->calls().isEmpty());
    EXPECT_TRUE(pasteboard_->writes().empty());
}

TEST_F(LayeredInserterTest, NoTargetLeavesExactlyTheTextOnTheClipboardWithoutCallingALayer)
{
    probe_->answer = FocusTarget::none;
    EXPECT_EQ(insert(QStringLiteral("你好 world")), InsertStrategy::noTarget);
    EXPECT_EQ(log_->calls(), QStringList { QStringLiteral("probe") });
    const std::vector<PasteboardEntry> expected { { QStringLiteral("text/plain"),
        QStringLiteral("你好 world").toUtf8() } };
    EXPECT_EQ(pasteboard_->contents(PasteboardSelection::clipboard), expected);
    EXPECT_TRUE(pasteboard_->contents(PasteboardSelection::primary).empty());
}

TEST_F(LayeredInserterTest, TriesTheLayersInOrderAndReportsTheOneThatWorked)
{
    const Behaviour works;
    const Behaviour foreignError = throwing(std::runtime_error("unexpected"));
    // A failing paste may leave the earlier clipboard before it throws; the
    // text must be left there all the same.
    const Behaviour pasteFails = [this]() -> QCoro::Task<void> {
        pasteboard_->hold(PasteboardSelection::clipboard, earlierClipboard);
        throw ClipboardInserterError::eventBuildFailed();
        co_return;
    };
    const QString ax = QStringLiteral("ax(abc)");
    const QString keyboard = QStringLiteral("keyboard(abc)");
    const QString clipboard = QStringLiteral("clipboard(abc)");
    struct Case {
        const char* name;
        Behaviour ax;
        Behaviour keyboard;
        Behaviour clipboard;
        InsertStrategy expected;
        QStringList layersCalled;
        bool textLeftOnClipboard;
        FocusTarget focus = FocusTarget::element;
        // What the bus reads in the field before and after typing (unreadable: none).
        std::vector<std::optional<QString>> fieldTexts = {};
    };
    const Case cases[] = {
        { "accessibilityWorks", works, works, works, InsertStrategy::ax, { ax }, false },
        { "notWritten", throwing(AxError::notWritten()), works, works, InsertStrategy::keyboard, { ax, keyboard },
            false },
        { "notSupported", throwing(AxError::notSupported()), works, works, InsertStrategy::keyboard, { ax, keyboard },
            false },
        { "noFocus", throwing(AxError::noFocus()), works, works, InsertStrategy::keyboard, { ax, keyboard }, false },
        { "notTrusted", throwing(AxError::notTrusted()), works, works, InsertStrategy::keyboard, { ax, keyboard },
            false },
        { "failedCall", throwing(AxError::failed(-25202)), works, works, InsertStrategy::keyboard, { ax, keyboard },
            false },
        { "foreignAccessibilityError", foreignError, works, works, InsertStrategy::keyboard, { ax, keyboard }, false },
        { "selfReflectiveSkipsKeystrokes", throwing(AxError::selfReflective()), works, works, InsertStrategy::clipboard,
            { ax, clipboard }, false },
        { "selfReflectiveThenPasteFails", throwing(AxError::selfReflective()), works, pasteFails,
            InsertStrategy::allFailed, { ax, clipboard }, true },
        { "noKeyboard", throwing(AxError::notWritten()), throwing(KeysError::sourceUnavailable()), works,
            InsertStrategy::clipboard, { ax, keyboard, clipboard }, false },
        { "keystrokesFailBeforeTyping", throwing(AxError::notWritten()), throwing(KeysError::buildFailed(0)), works,
            InsertStrategy::clipboard, { ax, keyboard, clipboard }, false },
        // A paste would add the whole text after the part already typed.
        { "keystrokesFailAfterTyping", throwing(AxError::notWritten()), throwing(KeysError::buildFailed(3)), works,
            InsertStrategy::allFailed, { ax, keyboard }, true },
        { "foreignKeystrokeError", throwing(AxError::notWritten()), foreignError, works, InsertStrategy::clipboard,
            { ax, keyboard, clipboard }, false },
        { "allFail", throwing(AxError::notWritten()), throwing(KeysError::sourceUnavailable()), pasteFails,
            InsertStrategy::allFailed, { ax, keyboard, clipboard }, true },
        // A terminal or browser: a focused window with nothing focused on the bus.
        { "windowWithoutElement", works, throwing(KeysError::sourceUnavailable()), works, InsertStrategy::clipboard,
            { keyboard, clipboard }, false, FocusTarget::window },
        // Keys a readable field does not show are lost there, unless it shows them late.
        { "readOnlyField", throwing(AxError::notSupported()), works, works, InsertStrategy::allFailed, { ax, keyboard },
            true, FocusTarget::element, { QStringLiteral("fixed") } },
        { "slowField", throwing(AxError::notSupported()), works, works, InsertStrategy::keyboard, { ax, keyboard },
            false, FocusTarget::element,
            { QStringLiteral("ab"), QStringLiteral("ab"), QStringLiteral("ab"), QStringLiteral("abc") } },
        // A page busy 4 s at a time takes the keys in when it is next free.
        { "busyPage", throwing(AxError::notSupported()), works, works, InsertStrategy::keyboard, { ax, keyboard },
            false, FocusTarget::element,
            [] {
                std::vector<std::optional<QString>> texts(400, QStringLiteral("ab"));
                texts.push_back(QStringLiteral("ababc"));
                return texts;
            }() },
        { "focusGoneAfterTyping", throwing(AxError::notSupported()), works, works, InsertStrategy::keyboard,
            { ax, keyboard }, false, FocusTarget::element, { QStringLiteral("ab"), std::nullopt } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        arrange(c.ax, c.keyboard, c.clipboard, c.focus, c.fieldTexts);

        EXPECT_EQ(insert(QStringLiteral("abc")), c.expected);
        EXPECT_EQ(log_->calls(), QStringList { QStringLiteral("probe") } + c.layersCalled);
        if (c.textLeftOnClipboard) {
            EXPECT_EQ(pasteboard_->text(PasteboardSelection::clipboard), QStringLiteral("abc"));
        } else {
            EXPECT_EQ(pasteboard_->contents(PasteboardSelection::clipboard), earlierClipboard);
        }
    }
}

// Keystrokes would take minutes over a long text, and a second layer after an
// unanswered accessibility write could show the text twice.
TEST_F(LayeredInserterTest, LongTextsArePastedAndAnUnansweredWriteIsOnlyReadBack)
{
    const QString longText(LayeredInserter::keystrokeLimit + 1, u'x');
    const QString shortText(LayeredInserter::keystrokeLimit, u'x');
    const QString hugeText(LayeredInserter::accessibilityLimit + 1, u'x');
    const Behaviour works;
    struct Case {
        const char* name;
        QString text;
        FocusTarget focus;
        Behaviour ax;
        std::vector<std::optional<QString>> fieldTexts;
        InsertStrategy expected;
        QStringList layersCalled;
    };
    const auto called = [](const char* layer, const QString& text) -> QString {
        return QString::fromLatin1(layer) + u'(' + text + u')';
    };
    const Case cases[] = {
        { "longIntoAnElement", longText, FocusTarget::element, works, {}, InsertStrategy::ax,
            { called("ax", longText) } },
        { "longWhereAccessibilityFails", longText, FocusTarget::element, throwing(AxError::notSupported()), {},
            InsertStrategy::clipboard, { called("ax", longText), called("clipboard", longText) } },
        { "longIntoAWindow", longText, FocusTarget::window, works, {}, InsertStrategy::clipboard,
            { called("clipboard", longText) } },
        // The bus call would hold the application for seconds.
        { "hugeIntoAnElement", hugeText, FocusTarget::element, works, {}, InsertStrategy::clipboard,
            { called("clipboard", hugeText) } },
        { "atTheLimitIsTyped", shortText, FocusTarget::window, works, {}, InsertStrategy::keyboard,
            { called("keyboard", shortText) } },
        // The layer has read the field back as long as the write may show:
        // the text standing somewhere in the field is no sign it went in.
        { "unansweredWithTheTextInTheField", QStringLiteral("abc"), FocusTarget::element,
            throwing(AxError::unanswered()), { QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("xabc") },
            InsertStrategy::allFailed, { QStringLiteral("ax(abc)") } },
        { "unansweredNeverShowsUp", QStringLiteral("abc"), FocusTarget::element, throwing(AxError::unanswered()),
            { QStringLiteral("x") }, InsertStrategy::allFailed, { QStringLiteral("ax(abc)") } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        arrange(c.ax, works, works, c.focus, c.fieldTexts);

        EXPECT_EQ(insert(c.text), c.expected);
        EXPECT_EQ(log_->calls(), QStringList { QStringLiteral("probe") } + c.layersCalled);
        if (c.expected == InsertStrategy::allFailed) {
            EXPECT_EQ(pasteboard_->text(PasteboardSelection::clipboard), c.text);
        }
    }
}

// A read-only field takes the paste chord and shows nothing; the clipboard
// layer restores what the user had, so without the read-back the text is gone.
TEST_F(LayeredInserterTest, APasteIntoAReadableFieldThatStaysUnchangedLeavesTheTextOnTheClipboard)
{
    const QString longText(LayeredInserter::keystrokeLimit + 100, u'x');
    const QString shortText = QStringLiteral("abc");
    const Behaviour works;
    const QString fixed = QStringLiteral("fixed");
    struct Case {
        const char* name;
        QString text;
        FocusTarget focus;
        Behaviour keyboard;
        std::vector<std::optional<QString>> fieldTexts;
        InsertStrategy expected;
    };
    const Case cases[] = {
        { "readOnlyElement", longText, FocusTarget::element, works, { fixed }, InsertStrategy::allFailed },
        { "unchangedAfterKeystrokesCouldNotStart", shortText, FocusTarget::element,
            throwing(KeysError::sourceUnavailable()), { fixed }, InsertStrategy::allFailed },
        { "changesLate", longText, FocusTarget::element, works, { fixed, fixed, fixed, fixed + longText },
            InsertStrategy::clipboard },
        // A loaded browser, seen to show a paste more than 250 ms after fetching it.
        { "changesAfterALoadedTargetsPause", longText, FocusTarget::element, works,
            [&] {
                std::vector<std::optional<QString>> texts(60, fixed);
                texts.push_back(fixed + longText);
                return texts;
            }(),
            InsertStrategy::clipboard },
        { "unreadableField", longText, FocusTarget::element, works, { std::nullopt }, InsertStrategy::clipboard },
        { "readableOnlyBefore", longText, FocusTarget::element, works, { fixed, std::nullopt },
            InsertStrategy::clipboard },
        { "windowWithoutElement", longText, FocusTarget::window, works, { fixed }, InsertStrategy::clipboard },
        // Read after the paste, the field would be past what the bus reads.
        { "tooLongToReadBack", QString(accessibleTextLimit - fixed.size() + 1, u'x'), FocusTarget::element, works,
            { fixed }, InsertStrategy::clipboard },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        arrange(throwing(AxError::notSupported()), c.keyboard, works, c.focus, c.fieldTexts);

        EXPECT_EQ(insert(c.text), c.expected);
        EXPECT_TRUE(log_->calls().endsWith(QStringLiteral("clipboard(") + c.text + u')'));
        if (c.expected == InsertStrategy::allFailed) {
            EXPECT_EQ(pasteboard_->text(PasteboardSelection::clipboard), c.text);
        } else {
            EXPECT_EQ(pasteboard_->contents(PasteboardSelection::clipboard), earlierClipboard);
        }
    }
}

// Another program served or read the text before the target was seen to
// take it: only a field that shows it counts, and the text is left on the
// clipboard otherwise; a copy of the user's that took the clipboard stays.
TEST_F(LayeredInserterTest, APasteOthersTookCountsOnlyWhereTheFieldShowsIt)
{
    const QString text(LayeredInserter::keystrokeLimit + 100, u'x');
    const QString fixed = QStringLiteral("fixed");
    const Behaviour unconfirmed = throwing(ClipboardInserterError::unconfirmed());
    struct Case {
        const char* name;
        Behaviour paste;
        std::vector<std::optional<QString>> fieldTexts;
        InsertStrategy expected;
        std::optional<QString> clipboardAfter;
    };
    const Case cases[] = {
        { "shows", unconfirmed, { fixed, fixed, fixed + text }, InsertStrategy::clipboard, QStringLiteral("earlier") },
        { "unchanged", unconfirmed, { fixed }, InsertStrategy::allFailed, text },
        { "unreadable", unconfirmed, { std::nullopt }, InsertStrategy::allFailed, text },
        { "usersCopyTookIt", throwing(ClipboardInserterError::displaced()), { fixed }, InsertStrategy::allFailed,
            QStringLiteral("earlier") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        arrange(throwing(AxError::notSupported()), throwing(KeysError::sourceUnavailable()), c.paste,
            FocusTarget::element, c.fieldTexts);

        EXPECT_EQ(insert(text), c.expected);
        EXPECT_EQ(pasteboard_->text(PasteboardSelection::clipboard), c.clipboardAfter);
    }
}

// A read-only field takes no text from any layer, however long the text and
// whether or not a paste is fetched; an editable one keeps the read-back
// where the bus can read it, and the layer's word past the bus's limit.
TEST_F(LayeredInserterTest, AFieldThatSaysItIsReadOnlyGetsNoLayerAndTheTextStaysOnTheClipboard)
{
    const QString shown = QStringLiteral("fourteen chars");
    const QString underTheLimit(LayeredInserter::keystrokeLimit + 100, u'x');
    const QString overWithTheField(accessibleTextLimit - 10, u'x');
    const QString overAlone(100'000, u'x');
    const Behaviour works;
    const Behaviour notFetched = throwing(ClipboardInserterError::notFetched());
    struct Case {
        const char* name;
        bool readOnly;
        QString text;
        bool fetched;
        // Whether a fetched paste shows in the field.
        bool shows;
        InsertStrategy expected;
    };
    const Case cases[] = {
        { "editableUnderTheLimit", false, underTheLimit, true, true, InsertStrategy::clipboard },
        { "editableUnderTheLimitNotFetched", false, underTheLimit, false, false, InsertStrategy::allFailed },
        { "editableUnderTheLimitIgnoringThePaste", false, underTheLimit, true, false, InsertStrategy::allFailed },
        // Not read back: the bus would hold this thread for seconds.
        { "editableOverTheLimitWithTheField", false, overWithTheField, true, true, InsertStrategy::clipboard },
        { "editableOverTheLimitWithTheFieldNotFetched", false, overWithTheField, false, false,
            InsertStrategy::allFailed },
        { "editableOverTheLimit", false, overAlone, true, true, InsertStrategy::clipboard },
        { "editableOverTheLimitNotFetched", false, overAlone, false, false, InsertStrategy::allFailed },
        { "readOnlyUnderTheLimit", true, underTheLimit, true, false, InsertStrategy::allFailed },
        { "readOnlyUnderTheLimitNotFetched", true, underTheLimit, false, false, InsertStrategy::allFailed },
        { "readOnlyOverTheLimitWithTheField", true, overWithTheField, true, false, InsertStrategy::allFailed },
        { "readOnlyOverTheLimitWithTheFieldNotFetched", true, overWithTheField, false, false,
            InsertStrategy::allFailed },
        { "readOnlyOverTheLimit", true, overAlone, true, false, InsertStrategy::allFailed },
        { "readOnlyOverTheLimitNotFetched", true, overAlone, false, false, InsertStrategy::allFailed },
    };
    const auto bus = std::make_shared<FakeAccessibilityBus>();
    const auto probe = std::make_shared<DefaultAccessibilityProbe>(
        bus, nullptr, [] { return true; }, [] { return false; }, 1000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAccessibilityBus::Field field;
        field.toolkit = QStringLiteral("GTK");
        field.text = shown;
        field.readOnly = c.readOnly;
        bus->focus(field);
        const Behaviour paste = [&bus, &c]() -> QCoro::Task<void> {
            if (c.shows)
                bus->field().text += c.text;
            co_return;
        };
        // Accessibility cannot write it (Chromium's fields show no editing interface).
        arrange(throwing(AxError::notSupported()), works, c.fetched ? paste : notFetched, FocusTarget::element, {});
        const LayeredInserter inserter(ax_, keyboard_, clipboard_, probe, pasteboard_,
            std::make_shared<InsertionQueue>(),
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("test"), nullptr, nullptr), sleep_.sleep(),
            sleep_.steadyClock());

        EXPECT_EQ(runBlocking(inserter.insertLayered(c.text)), c.expected);
        if (c.readOnly) {
            EXPECT_TRUE(log_->calls().isEmpty()) << log_->calls().join(u' ').left(200).toStdString();
            EXPECT_EQ(bus->field().text, shown);
        } else {
            EXPECT_TRUE(log_->calls().endsWith(QStringLiteral("clipboard(") + c.text + u')'));
        }
        if (c.expected == InsertStrategy::allFailed) {
            EXPECT_EQ(pasteboard_->text(PasteboardSelection::clipboard), c.text);
        } else {
            EXPECT_EQ(pasteboard_->contents(PasteboardSelection::clipboard), earlierClipboard);
        }
    }
}

TEST_F(LayeredInserterTest, ConcurrentInsertionsRunOneAfterAnother)
{
    // The first text's keyboard layer takes a while; the second insertion
    // must not probe, let alone type, until the first has finished.
    ax_->behaviour = throwing(AxError::notWritten());
    keyboard_->behaviour = [this]() -> QCoro::Task<void> {
        co_await sleepFor(30ms);
        log_->record(QStringLiteral("keyboard done"));
    };
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
        (QStringList { QStringLiteral("probe"), QStringLiteral("ax(one)"), QStringLiteral("keyboard(one)"),
            QStringLiteral("keyboard done"), QStringLiteral("probe"), QStringLiteral("ax(two)"),
            QStringLiteral("keyboard(two)"), QStringLiteral("keyboard done") }));
    EXPECT_FALSE(queue->isBusy());
}

TEST_F(LayeredInserterTest, OutputDeliversTheWholeTextThroughTheLayers)
{
    LayeredInserterOutput output(
        inserter(), VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("test"), nullptr, nullptr));
    runBlocking(output.deliver(QStringLiteral("👍🏽好a")));
    EXPECT_EQ(log_->calls(), (QStringList { QStringLiteral("probe"), QStringLiteral("ax(👍🏽好a)") }));
}

} // namespace
} // namespace vellamor::test
