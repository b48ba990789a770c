#include "ErrorOf.h"
#include "FakeKeyInjector.h"
#include "FakePasteboard.h"
#include "QtPrinters.h"
#include "RecordingInsertionSleep.h"

#include "TextInsertion/ClipboardSnapshot.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/ClipboardInserterError.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using platform::PasteboardEntry;
using platform::PasteboardSelection;

const std::vector<PasteboardEntry> earlierClipboard {
    { QStringLiteral("text/plain"), QByteArrayLiteral("earlier") },
    { QStringLiteral("text/html"), QByteArrayLiteral("<i>earlier</i>") },
    { QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n\0\0", 10) },
    { QStringLiteral("Pixmap"), QByteArrayLiteral("pixmap") },
};
const std::vector<PasteboardEntry> earlierPrimary { { QStringLiteral("text/plain"), QByteArrayLiteral("selected") } };
// Listed by X11 owners beside the content (selection targets, Qt's image
// alias): a snapshot must not read them.
const QStringList x11Targets { QStringLiteral("TARGETS"), QStringLiteral("MULTIPLE"), QStringLiteral("TIMESTAMP"),
    QStringLiteral("SAVE_TARGETS"), QStringLiteral("UTF8_STRING"), QStringLiteral("COMPOUND_TEXT"),
    QStringLiteral("STRING"), QStringLiteral("application/x-qt-image") };

class ClipboardInserterTest : public ::testing::Test {
protected:
    ClipboardInserterTest() { reset(); }

    void reset()
    {
        pasteboard_ = std::make_shared<FakePasteboard>(sleep_.clock());
        pasteboard_->hold(PasteboardSelection::clipboard, earlierClipboard, x11Targets);
        pasteboard_->hold(PasteboardSelection::primary, earlierPrimary, x11Targets);
        injector_ = std::make_shared<FakeKeyInjector>(sleep_.clock());
        // The target asks for the text as soon as the chord arrives.
        injector_->onTap = [this](const FakeKeyInjector::Tap& tap) {
            atTap_.push_back({pasteboard_->text(PasteboardSelection::clipboard),
                              pasteboard_->text(PasteboardSelection::primary), guard_});
            pasteboard_->fetch(tap.keyCode == FakeKeyInjector::insertKey ? PasteboardSelection::primary
                                                                              : PasteboardSelection::clipboard);
        };
        guard_.clear();
        atTap_.clear();
    }

    std::unique_ptr<ClipboardInserter> inserter()
    {
        return std::make_unique<ClipboardInserter>(
            pasteboard_, injector_, [this](bool ignoring) { guard_.push_back(ignoring); }, sleep_.sleep(),
            sleep_.steadyClock());
    }

    QCoro::Task<void> paste(const QString& text) { return inserter()->insert(text); }

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

TEST_F(ClipboardInserterTest, PastesFromTheClipboardThenPutsItsContentsBack)
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

    expectRestored();
    const auto& writes = pasteboard_->writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].selection, PasteboardSelection::clipboard);
    EXPECT_EQ(guard_, (std::vector<bool>{true, false}));
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

TEST_F(ClipboardInserterTest, FailuresPutTheContentsBack)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        ClipboardInserterError expected;
    };
    const Case cases[] = {
        { "clipboardRefused", [this] { pasteboard_->refuseText = true; },
            ClipboardInserterError::pasteboardWriteFailed() },
        { "primaryRefused",
            [this] {
                pasteboard_->refuseText = true;
                pasteboard_->refuseTextOn = PasteboardSelection::primary;
                injector_->windowClass = { QStringLiteral("xterm") };
            },
            ClipboardInserterError::pasteboardWriteFailed() },
        { "noSyntheticInput", [this] { injector_->available = false; }, ClipboardInserterError::eventSourceFailed() },
        { "keyRefused", [this] { injector_->refuseTapsFrom = 0; }, ClipboardInserterError::eventBuildFailed() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        c.arrange();
        EXPECT_EQ(errorOf<ClipboardInserterError>(paste(QStringLiteral("text"))), c.expected);
        expectRestored();
        EXPECT_TRUE(guard_.empty() || guard_ == (std::vector<bool>{true, false}));
    }
}

// What the target and other programs do during and after the hold, on the
// virtual clock from the moment the text went on the clipboard (the chord
// follows at once). The contents go back once the target has finished taking
// the text, and only where the text still is.
TEST_F(ClipboardInserterTest, TheContentsGoBackOnceTheTargetIsDoneAndNoNewerCopyIsThere)
{
    using Steps = std::vector<std::pair<std::chrono::milliseconds, FakePasteboard::Action>>;
    const auto ask
        = [](PasteboardSelection selection) { return [selection](FakePasteboard& p) { p.fetch(selection); }; };
    const auto transfer = [](bool underWay) {
        return [underWay](FakePasteboard& p) { p.transfer(PasteboardSelection::clipboard, underWay); };
    };
    const auto copy = [](PasteboardSelection selection) {
        return [selection](FakePasteboard& p) {
            p.hold(selection, { { QStringLiteral("text/plain"), QByteArrayLiteral("copied since") } });
        };
    };
    const auto clipboard = PasteboardSelection::clipboard;
    const auto primary = PasteboardSelection::primary;
    Steps everyFifthOfASecond;
    for (auto at = 0ms; at <= 6000ms; at += 200ms)
        everyFifthOfASecond.push_back({ at, ask(clipboard) });
    const ClipboardInserter::Pacing pacing;

    struct Case {
        const char* name;
        QStringList windowClass;
        Steps steps;
        std::optional<ClipboardInserterError> error;
        // The time of the restore; none: nothing was written back.
        std::optional<std::chrono::milliseconds> restoredAt;
        const char* clipboardAfter;
        const char* primaryAfter;
    };
    const Case cases[] = {
        { "asksAgainWithinTheQuietTime", {},
            { { 0ms, ask(clipboard) }, { 250ms, ask(clipboard) }, { 500ms, ask(clipboard) } }, std::nullopt,
            500ms + pacing.quietAfterRequest, "earlier", "selected" },
        { "takesTheTextInParts", {}, { { 0ms, ask(clipboard) }, { 0ms, transfer(true) }, { 1500ms, transfer(false) } },
            std::nullopt, 1500ms + pacing.quietAfterRequest, "earlier", "selected" },
        { "asksAfterTheRestore", {}, { { 0ms, ask(clipboard) }, { pacing.quietAfterRequest + 50ms, ask(clipboard) } },
            ClipboardInserterError::askedAfterRestore(), pacing.quietAfterRequest, "earlier", "selected" },
        { "keepsAskingPastTheLimit", {}, everyFifthOfASecond, ClipboardInserterError::askedAfterRestore(),
            pacing.holdLimit, "earlier", "selected" },
        { "userCopiesDuringTheHold", {}, { { 0ms, ask(clipboard) }, { 100ms, copy(clipboard) } }, std::nullopt,
            std::nullopt, "copied since", "selected" },
        { "selectsDuringTheHoldOfPrimary", { QStringLiteral("xterm") },
            { { 0ms, ask(primary) }, { 100ms, copy(primary) } }, std::nullopt, pacing.quietAfterRequest, "earlier",
            "copied since" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        injector_->onTap = nullptr;
        injector_->windowClass = c.windowClass;
        for (const auto& [at, action] : c.steps)
            pasteboard_->at(at, action);
        if (c.error)
            EXPECT_EQ(errorOf<ClipboardInserterError>(paste(QStringLiteral("pasted"))), *c.error);
        else
            EXPECT_NO_THROW(runBlocking(paste(QStringLiteral("pasted"))));

        // Every request while the text was held got it.
        const auto& fetched = pasteboard_->fetched();
        const auto gotText = std::count(fetched.begin(), fetched.end(), std::optional(QStringLiteral("pasted")));
        EXPECT_EQ(gotText + (c.error ? 1 : 0), static_cast<long>(fetched.size()));
        std::optional<std::chrono::milliseconds> restoredAt;
        const auto& writes = pasteboard_->writes();
        for (const auto& write : writes) {
            if (write.entries
                != std::vector { PasteboardEntry { QStringLiteral("text/plain"), QByteArrayLiteral("pasted") } })
                restoredAt = write.at - writes.at(0).at;
        }
        EXPECT_EQ(restoredAt, c.restoredAt);
        EXPECT_EQ(pasteboard_->text(PasteboardSelection::clipboard), QString::fromUtf8(c.clipboardAfter));
        EXPECT_EQ(pasteboard_->text(PasteboardSelection::primary), QString::fromUtf8(c.primaryAfter));
    }
}

// The application quits during the hold: the paste's waits would never end.
TEST_F(ClipboardInserterTest, FinishingTheHoldPutsTheContentsBackOnce)
{
    const auto clipboard = inserter();
    std::vector<PasteboardEntry> atFinish;
    pasteboard_->at(100ms, [&](FakePasteboard& p) {
        clipboard->finishHold();
        atFinish = p.contents(PasteboardSelection::clipboard);
    });
    EXPECT_NO_THROW(runBlocking(clipboard->insert(QStringLiteral("pasted"))));
    EXPECT_EQ(atFinish, earlierClipboard);
    EXPECT_EQ(pasteboard_->writes().size(), 2u);
    expectRestored();
}

TEST(ClipboardSnapshotTest, KeepsTheLastDataOfARepeatedFormat)
{
    FakePasteboard pasteboard;
    pasteboard.hold(PasteboardSelection::clipboard,
        { { QStringLiteral("text/plain"), QByteArrayLiteral("first") },
            { QStringLiteral("text/plain"), QByteArrayLiteral("last") } });
    const auto snapshot = ClipboardSnapshot::take(pasteboard, PasteboardSelection::clipboard);
    ASSERT_EQ(snapshot.entries().size(), 1u);
    EXPECT_EQ(snapshot.entries()[0].data, QByteArrayLiteral("last"));
}

} // namespace
} // namespace vellamor::test
