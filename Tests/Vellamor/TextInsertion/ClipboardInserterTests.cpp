#include "ErrorOf.h"
#include "FakeKeyInjector.h"
#include "FakePasteboard.h"
#include "QtPrinters.h"
#include "RecordingInsertionSleep.h"

#include "Platform/Pasteboard/SelectionTargets.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/ClipboardInserterError.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using platform::PasteboardSelection;

const std::vector<PasteboardEntry> earlierClipboard {
    { QStringLiteral("text/plain"), QByteArrayLiteral("earlier") },
    { QStringLiteral("text/html"), QByteArrayLiteral("<i>earlier</i>") },
    { QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n\0\0", 10) },
    { QStringLiteral("Pixmap"), QByteArrayLiteral("pixmap") },
};
const std::vector<PasteboardEntry> earlierPrimary { { QStringLiteral("text/plain"), QByteArrayLiteral("selected") } };

class ClipboardInserterTest : public ::testing::Test {
protected:
    ClipboardInserterTest() { reset(); }

    void reset()
    {
        pasteboard_ = std::make_shared<FakePasteboard>(sleep_.clock());
        pasteboard_->hold(PasteboardSelection::clipboard, earlierClipboard);
        pasteboard_->hold(PasteboardSelection::primary, earlierPrimary);
        injector_ = std::make_shared<FakeKeyInjector>(sleep_.clock());
        // The target asks for the text as soon as the chord arrives.
        injector_->onTap = [this](const FakeKeyInjector::Tap& tap) {
            atTap_.push_back({pasteboard_->served(PasteboardSelection::clipboard, FakePasteboard::Client::target),
                              pasteboard_->served(PasteboardSelection::primary, FakePasteboard::Client::target),
                              guard_});
            pasteboard_->fetch(tap.keyCode == FakeKeyInjector::insertKey ? PasteboardSelection::primary
                                                                              : PasteboardSelection::clipboard);
        };
        guard_.clear();
        atTap_.clear();
    }

    std::unique_ptr<ClipboardInserter> inserter()
    {
        return std::make_unique<ClipboardInserter>(
            pasteboard_, injector_, [this](bool ignoring) { guard_.push_back(ignoring); }, sleep_.sleep());
    }

    QCoro::Task<void> paste(const QString& text) { return inserter()->insert(text); }

    // Once the loans have run their course.
    void expectRestored()
    {
        EXPECT_EQ(pasteboard_->contents(PasteboardSelection::clipboard), earlierClipboard);
        EXPECT_EQ(pasteboard_->contents(PasteboardSelection::primary), earlierPrimary);
    }

    struct AtTap {
        std::optional<QString> clipboard;
        std::optional<QString> primary;
        std::vector<bool> guard;
    };

    RecordingInsertionSleep sleep_;
    std::shared_ptr<FakePasteboard> pasteboard_;
    std::shared_ptr<FakeKeyInjector> injector_;
    std::vector<bool> guard_;
    std::vector<AtTap> atTap_;
};

TEST_F(ClipboardInserterTest, PastesFromTheClipboardAndReturnsBeforeItsContentsComeBack)
{
    injector_->modifiersHeldUntil = 300ms;
    EXPECT_NO_THROW(runBlocking(paste(QStringLiteral("hello 世界🎉"))));
    ASSERT_EQ(atTap_.size(), 1u);
    EXPECT_EQ(atTap_[0].clipboard, QStringLiteral("hello 世界🎉"));
    EXPECT_EQ(atTap_[0].primary, QStringLiteral("selected"));
    EXPECT_EQ(atTap_[0].guard, std::vector<bool>{true});
    const auto& tap = injector_->taps().at(0);
    // The user's modifiers would change the chord: it waits for their release.
    EXPECT_GE(tap.at, 300ms);
    EXPECT_EQ(injector_->releaseCount(), 0);
    EXPECT_EQ(guard_, (std::vector<bool>{true, false}));

    // The outcome does not wait for the loan: the target may still ask again.
    ASSERT_EQ(pasteboard_->writes().size(), 1u);
    EXPECT_EQ(pasteboard_->served(PasteboardSelection::clipboard, FakePasteboard::Client::target),
        QStringLiteral("hello 世界🎉"));
    const platform::ClipboardLoan::Timing timing;
    pasteboard_->runFor(timing.quiet + timing.grace);
    ASSERT_EQ(pasteboard_->writes().size(), 2u);
    EXPECT_EQ(pasteboard_->writes()[1].entries, earlierClipboard);
    expectRestored();
}

TEST_F(ClipboardInserterTest, EmptyClipboardIsEmptyAgainAfterwards)
{
    pasteboard_->hold(PasteboardSelection::clipboard, {});
    pasteboard_->hold(PasteboardSelection::primary, {});
    EXPECT_NO_THROW(runBlocking(paste(QStringLiteral("x"))));
    EXPECT_EQ(atTap_.at(0).clipboard, QStringLiteral("x"));
    EXPECT_TRUE(pasteboard_->contents(PasteboardSelection::clipboard).empty());
    EXPECT_TRUE(pasteboard_->contents(PasteboardSelection::primary).empty());
}

// Window classes match by instance or class name, whatever the case.
TEST_F(ClipboardInserterTest, TerminalsGetTheirOwnPasteChord)
{
    struct Case {
        QStringList windowClass;
        int keyCode;
        bool shift;
        bool control;
    };
    const Case cases[] = {
        { { QStringLiteral("kate"), QStringLiteral("kate") }, FakeKeyInjector::vKey, false, true },
        { {}, FakeKeyInjector::vKey, false, true },
        { { QStringLiteral("terminalish") }, FakeKeyInjector::vKey, false, true },
        { { QStringLiteral("gnome-terminal-server"), QStringLiteral("Gnome-terminal") }, FakeKeyInjector::vKey, true,
            true },
        { { QStringLiteral("x"), QStringLiteral("Alacritty") }, FakeKeyInjector::vKey, true, true },
        { { QStringLiteral("xterm"), QStringLiteral("XTerm") }, FakeKeyInjector::insertKey, true, false },
        { { QStringLiteral("URXVT") }, FakeKeyInjector::insertKey, true, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.windowClass.join(u'/').toStdString());
        reset();
        injector_->windowClass = c.windowClass;
        EXPECT_NO_THROW(runBlocking(paste(QStringLiteral("ls"))));
        ASSERT_EQ(injector_->taps().size(), 1u);
        EXPECT_EQ(injector_->taps()[0].keyCode, c.keyCode);
        EXPECT_EQ(injector_->taps()[0].shift, c.shift);
        EXPECT_EQ(injector_->taps()[0].control, c.control);
    }
}

TEST_F(ClipboardInserterTest, FailuresLeaveTheUsersContentsUnlessTheyCouldNotBeRead)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::optional<ClipboardInserterError> expected;
        // Nothing can be put back over the text: it stays on the clipboard.
        bool textStays;
    };
    const Case cases[] = {
        { "clipboardRefused", [this] { pasteboard_->refuseText = true; },
            ClipboardInserterError::pasteboardWriteFailed(), false },
        { "primaryRefused",
            [this] {
                pasteboard_->refuseText = true;
                pasteboard_->refuseTextOn = PasteboardSelection::primary;
                injector_->windowClass = { QStringLiteral("xterm") };
            },
            ClipboardInserterError::pasteboardWriteFailed(), false },
        { "noSyntheticInput", [this] { injector_->available = false; }, ClipboardInserterError::eventSourceFailed(),
            false },
        { "keyRefused", [this] { injector_->refuseTapsFrom = 0; }, ClipboardInserterError::eventBuildFailed(), false },
        // What could not be read cannot be kept: the paste goes ahead.
        { "ownerDoesNotAnswer", [this] { pasteboard_->unreadable = true; }, std::nullopt, true },
        { "targetNeverAsks", [this] { injector_->onTap = nullptr; }, ClipboardInserterError::notFetched(), true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        c.arrange();
        if (c.expected)
            EXPECT_EQ(errorOf<ClipboardInserterError>(paste(QStringLiteral("text"))), *c.expected);
        else
            EXPECT_NO_THROW(runBlocking(paste(QStringLiteral("text"))));
        pasteboard_->runFor(20s);
        if (c.textStays)
            EXPECT_EQ(pasteboard_->text(PasteboardSelection::clipboard), QStringLiteral("text"));
        else
            expectRestored();
        EXPECT_EQ(pasteboard_->text(PasteboardSelection::primary), QStringLiteral("selected"));
        EXPECT_TRUE(guard_.empty() || guard_ == (std::vector<bool>{true, false}));
    }
}

// Who asks when, on the virtual clock from the moment the text was lent (the
// chord follows at once): a busy target asks late, a browser asks again, a
// clipboard library asks over a connection of its own, a clipboard manager
// copies and re-owns every change, a clipboard reader polls, the user copies
// and pastes. Whenever the target asks before it is done it gets the text,
// never the earlier contents; what the user copies stays.
TEST_F(ClipboardInserterTest, EveryoneGetsWhatTheLoanDecidesUntilTheUsersContentsAreBack)
{
    using Client = FakePasteboard::Client;
    using Steps = std::vector<std::pair<std::chrono::milliseconds, FakePasteboard::Action>>;
    const auto ask = [](PasteboardSelection selection, Client client = Client::target) {
        return [selection, client](FakePasteboard& p) { p.fetch(selection, client); };
    };
    const auto copy = [](Client client, const char* text) {
        return [client, text](FakePasteboard& p) {
            p.hold(PasteboardSelection::clipboard, { { QStringLiteral("text/plain"), QByteArray(text) } }, client);
        };
    };
    const auto userPastes = [](FakePasteboard& p) { p.userPasted(); };
    // A reader polling the clipboard every `period` for 10 s, among `steps`.
    const auto polled = [&](std::chrono::milliseconds period, Steps steps) {
        for (auto at = 0ms; at < 10s; at += period)
            steps.emplace_back(at, ask(PasteboardSelection::clipboard, Client::reader));
        return steps;
    };
    const auto clipboard = PasteboardSelection::clipboard;
    const auto primary = PasteboardSelection::primary;
    const platform::ClipboardLoan::Timing timing;
    const ClipboardInserter::Pacing pacing;
    const QString pasted = QStringLiteral("pasted");
    const QString earlier = QStringLiteral("earlier");

    struct Case {
        const char* name;
        QStringList windowClass;
        Steps steps;
        std::optional<ClipboardInserterError> error;
        // What each request but a polling reader's got, in order.
        std::vector<QString> fetched;
        const char* clipboardAfter;
        const char* primaryAfter;
    };
    const Case cases[] = {
        { "busyFor150ms", {}, { { 150ms, ask(clipboard) } }, std::nullopt, { pasted }, "earlier", "selected" },
        { "busyFor300ms", {}, { { 300ms, ask(clipboard) } }, std::nullopt, { pasted }, "earlier", "selected" },
        { "asksOnlyAfterTheLimit", {}, { { pacing.fetchLimit + 500ms, ask(clipboard) } },
            ClipboardInserterError::notFetched(), { pasted }, "pasted", "selected" },
        { "asksAgainAfterTheQuietTime", {},
            { { 0ms, ask(clipboard) }, { timing.quiet + 1000ms, ask(clipboard) },
                { timing.quiet + 1000ms, ask(clipboard, Client::other) } },
            std::nullopt, { pasted, pasted, earlier }, "earlier", "selected" },
        { "asksAgainAfterTheGrace", {}, { { 0ms, ask(clipboard) }, { timing.quiet + timing.grace, ask(clipboard) } },
            std::nullopt, { pasted, earlier }, "earlier", "selected" },
        // Only the field can tell whether that was the target.
        { "asksOverAnotherConnection", {}, { { 400ms, ask(clipboard, Client::targetsOther) } },
            ClipboardInserterError::unconfirmed(), { pasted }, "earlier", "selected" },
        { "readerEvery20msTargetAsksAt7s", {}, polled(20ms, { { 7000ms, ask(clipboard) } }),
            ClipboardInserterError::unconfirmed(), { pasted }, "earlier", "selected" },
        { "readerEvery500msTargetAsksAt1s", {}, polled(500ms, { { 1000ms, ask(clipboard) } }), std::nullopt,
            { pasted }, "earlier", "selected" },
        { "readerEvery500msTargetNeverAsks", {}, polled(500ms, {}), ClipboardInserterError::unconfirmed(), {},
            "earlier", "selected" },
        { "readerReownsBeforeTheTargetAsks", {},
            { { 10ms, ask(clipboard, Client::reader) }, { 20ms, [](FakePasteboard& p) { p.reown(PasteboardSelection::clipboard, Client::reader); } } },
            ClipboardInserterError::unconfirmed(), {}, "earlier", "selected" },
        { "copyBeforeTheFirstRequest", {}, { { 100ms, copy(Client::other, "copied since") }, { 200ms, ask(clipboard) } },
            ClipboardInserterError::displaced(), { QStringLiteral("copied since") }, "copied since", "selected" },
        { "userCopiesThePastedText", {}, { { 0ms, ask(clipboard) }, { 3000ms, copy(Client::target, "pasted") } },
            std::nullopt, { pasted }, "pasted", "selected" },
        // The target read the text again just before: its copy is the user's all the same.
        { "userCopiesThePastedTextJustAfterASecondAsk", {},
            { { 0ms, ask(clipboard) }, { timing.quiet, ask(clipboard) },
                { timing.quiet + 500ms, copy(Client::target, "pasted") } },
            std::nullopt, { pasted, pasted }, "pasted", "selected" },
        { "userPastesAfterTheOutcome", {},
            { { 0ms, ask(clipboard) }, { 2000ms, userPastes }, { 2500ms, ask(clipboard) } }, std::nullopt,
            { pasted, earlier }, "earlier", "selected" },
        // The app's own chord, read late, is no paste of the user's.
        { "ownChordReadLate", {}, { { 0ms, ask(clipboard) }, { 100ms, userPastes }, { 2500ms, ask(clipboard) } },
            std::nullopt, { pasted, pasted }, "earlier", "selected" },
        { "managerCopiesThenTargetAsks", {},
            { { 0ms, ask(clipboard, Client::manager) }, { 2000ms, ask(clipboard) } }, std::nullopt,
            { pasted, pasted }, "earlier", "selected" },
        { "managerReownsBeforeTheTargetAsks", {}, { { 5ms, [](FakePasteboard& p) { p.reown(PasteboardSelection::clipboard); } } },
            ClipboardInserterError::unconfirmed(), {}, "earlier", "selected" },
        { "userCopiesDuringTheLoan", {},
            { { 0ms, ask(clipboard) },
                { 100ms,
                    [](FakePasteboard& p) {
                        p.hold(PasteboardSelection::clipboard,
                            { { QStringLiteral("text/plain"), QByteArrayLiteral("copied since") } });
                    } } },
            std::nullopt, { pasted }, "copied since", "selected" },
        { "takesTheTextInParts", {},
            { { 0ms, [](FakePasteboard& p) { p.transfer(PasteboardSelection::clipboard, true); } },
                { 1500ms, [](FakePasteboard& p) { p.transfer(PasteboardSelection::clipboard, false); } },
                { 1500ms + timing.quiet - 1ms, ask(clipboard, Client::other) } },
            std::nullopt, { pasted, pasted }, "earlier", "selected" },
        { "xtermPastesPrimary", { QStringLiteral("xterm") }, { { 50ms, ask(primary) } }, std::nullopt, { pasted },
            "earlier", "selected" },
        // It read the lent clipboard, and takes it with the text just after the loan was given back.
        { "readerRetakesAfterXtermsPrimaryPaste", { QStringLiteral("xterm") },
            { { 10ms, ask(clipboard, Client::reader) }, { 50ms, ask(primary) }, { 60ms, copy(Client::reader, "pasted") } },
            std::nullopt, { pasted }, "earlier", "selected" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        injector_->onTap = nullptr;
        injector_->windowClass = c.windowClass;
        for (const auto& [at, action] : c.steps)
            pasteboard_->at(at, action);
        if (c.error)
            EXPECT_EQ(errorOf<ClipboardInserterError>(paste(pasted)), *c.error);
        else
            EXPECT_NO_THROW(runBlocking(paste(pasted)));
        pasteboard_->runFor(20s);

        std::vector<QString> fetched;
        for (const auto& fetch : pasteboard_->fetches()) {
            if (fetch.client != Client::reader)
                fetched.push_back(fetch.text.value_or(QStringLiteral("(nothing)")));
        }
        EXPECT_EQ(fetched, c.fetched);
        EXPECT_EQ(pasteboard_->text(clipboard), QString::fromUtf8(c.clipboardAfter));
        EXPECT_EQ(pasteboard_->text(primary), QString::fromUtf8(c.primaryAfter));
    }
}

// Chromium keeps what it read of the clipboard until it changes hands: the
// clipboard is taken anew with the user's contents the moment their paste
// chord is seen, or Chromium pastes the dictation again without asking. On
// the virtual clock, the take must come within the moment after the chord,
// long before the loan would end on its own.
TEST_F(ClipboardInserterTest, TheClipboardChangesHandsAsSoonAsTheUserPastes)
{
    pasteboard_->at(2000ms, [](FakePasteboard& p) { p.userPasted(); });
    EXPECT_NO_THROW(runBlocking(paste(QStringLiteral("pasted"))));
    pasteboard_->runFor(2001ms);

    const auto& writes = pasteboard_->writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes.back().entries, earlierClipboard);
}

// A second dictation right after the first: its paste does not wait for the
// first loan, and the user's own contents are what finally comes back.
TEST_F(ClipboardInserterTest, ASecondPasteDuringALoanLendsTheUsersContentsOn)
{
    EXPECT_NO_THROW(runBlocking(paste(QStringLiteral("first"))));
    const auto firstDone = sleep_.clock()->now;
    EXPECT_NO_THROW(runBlocking(paste(QStringLiteral("second"))));
    EXPECT_LT(sleep_.clock()->now - firstDone, platform::ClipboardLoan::Timing{}.quiet);
    EXPECT_EQ(atTap_.at(1).clipboard, QStringLiteral("second"));
    pasteboard_->runFor(20s);
    expectRestored();
}

TEST(SelectionTargetsTest, KeepsTheContentAndOneImageFormat)
{
    struct Case {
        QList<QByteArray> offered;
        QList<QByteArray> kept;
    };
    const Case cases[] = {
        { { "TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "UTF8_STRING", "STRING", "text/plain", "text/html",
              "application/x-qt-image", "GTK_TEXT_BUFFER_CONTENTS" },
            { "UTF8_STRING", "STRING", "text/plain", "text/html" } },
        { { "image/bmp", "image/png", "image/jpeg", "x-special/gnome-copied-files", "image/png" },
            { "image/png", "x-special/gnome-copied-files" } },
        { { "image/bmp", "image/jpeg", "TARGETS" }, { "image/bmp" } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::SelectionTargets::worthKeeping(c.offered), c.kept);
}

} // namespace
} // namespace vellamor::test
