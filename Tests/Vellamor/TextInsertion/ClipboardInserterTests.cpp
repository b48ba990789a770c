#include "ErrorOf.h"
#include "FakeKeyInjector.h"
#include "FakePasteboard.h"
#include "QtPrinters.h"
#include "RecordingInsertionSleep.h"

#include "TextInsertion/ClipboardSnapshot.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/ClipboardInserterError.h"
#include "TextInsertion/PasteChord.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using platform::PasteboardEntry;
using platform::PasteboardSelection;

const std::vector<PasteboardEntry> earlierClipboard{
    {QStringLiteral("text/plain"), QByteArrayLiteral("earlier")},
    {QStringLiteral("text/html"), QByteArrayLiteral("<i>earlier</i>")},
    {QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n\0\0", 10)},
};
const std::vector<PasteboardEntry> earlierPrimary{{QStringLiteral("text/plain"), QByteArrayLiteral("selected")}};
const QStringList x11Targets{QStringLiteral("TARGETS"), QStringLiteral("MULTIPLE"), QStringLiteral("TIMESTAMP"),
                             QStringLiteral("SAVE_TARGETS"), QStringLiteral("application/x-qt-image")};

class ClipboardInserterTest : public ::testing::Test {
protected:
    ClipboardInserterTest()
    {
        pasteboard_->hold(PasteboardSelection::clipboard, earlierClipboard, x11Targets);
        pasteboard_->hold(PasteboardSelection::primary, earlierPrimary, x11Targets);
        injector_->onTap = [this](const FakeKeyInjector::Tap& tap) {
            atTap_.push_back({pasteboard_->text(PasteboardSelection::clipboard),
                              pasteboard_->text(PasteboardSelection::primary), guard_, tap.at});
        };
    }

    ClipboardInserter inserter()
    {
        return ClipboardInserter(
            pasteboard_, injector_, [this](bool ignoring) { guard_.push_back(ignoring); }, sleep_.sleep());
    }

    void paste(const QString& text)
    {
        auto clipboard = inserter();
        EXPECT_NO_THROW(runBlocking(clipboard.insert(text)));
    }

    std::optional<ClipboardInserterError> errorPasting(const QString& text)
    {
        auto clipboard = inserter();
        return errorOf<ClipboardInserterError>(clipboard.insert(text));
    }

    void expectRestored()
    {
        EXPECT_EQ(pasteboard_->contents(PasteboardSelection::clipboard), earlierClipboard);
        EXPECT_EQ(pasteboard_->contents(PasteboardSelection::primary), earlierPrimary);
    }

    struct AtTap {
        std::optional<QString> clipboard;
        std::optional<QString> primary;
        std::vector<bool> guard;
        std::chrono::milliseconds at;
    };

    RecordingInsertionSleep sleep_;
    std::shared_ptr<FakePasteboard> pasteboard_ = std::make_shared<FakePasteboard>();
    std::shared_ptr<FakeKeyInjector> injector_ = std::make_shared<FakeKeyInjector>(sleep_.clock());
    std::vector<bool> guard_;
    std::vector<AtTap> atTap_;
};

TEST_F(ClipboardInserterTest, PastesFromBothSelectionsThenPutsTheirContentsBack)
{
    paste(QStringLiteral("hello 世界🎉"));
    ASSERT_EQ(atTap_.size(), 1u);
    EXPECT_EQ(atTap_[0].clipboard, QStringLiteral("hello 世界🎉"));
    EXPECT_EQ(atTap_[0].primary, QStringLiteral("hello 世界🎉"));
    EXPECT_EQ(atTap_[0].guard, std::vector<bool>{true});
    const auto& tap = injector_->taps().at(0);
    EXPECT_EQ(tap.keyCode, FakeKeyInjector::vKey);
    EXPECT_TRUE(tap.control);
    EXPECT_FALSE(tap.shift);

    // The target gets its 120 ms before the contents go back, X11's
    // transfer targets and Qt's image alias are not among them.
    EXPECT_GE(sleep_.clock()->now - tap.at, 120ms);
    EXPECT_THAT(sleep_.waits(), ::testing::Contains(120ms));
    expectRestored();
    const auto& writes = pasteboard_->writes();
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[2].selection, PasteboardSelection::clipboard);
    EXPECT_EQ(writes[3].selection, PasteboardSelection::primary);
    EXPECT_EQ(guard_, (std::vector<bool>{true, false}));
}

TEST_F(ClipboardInserterTest, EmptyClipboardIsEmptyAgainAfterwards)
{
    pasteboard_->hold(PasteboardSelection::clipboard, {});
    pasteboard_->hold(PasteboardSelection::primary, {});
    paste(QStringLiteral("x"));
    EXPECT_TRUE(pasteboard_->contents(PasteboardSelection::clipboard).empty());
    EXPECT_TRUE(pasteboard_->contents(PasteboardSelection::primary).empty());
    EXPECT_EQ(atTap_.at(0).clipboard, QStringLiteral("x"));
}

TEST_F(ClipboardInserterTest, TerminalsGetTheirOwnPasteChord)
{
    struct Case {
        QStringList windowClass;
        int keyCode;
        bool shift;
        bool control;
    };
    const Case cases[] = {
        {{QStringLiteral("kate"), QStringLiteral("kate")}, FakeKeyInjector::vKey, false, true},
        {{}, FakeKeyInjector::vKey, false, true},
        {{QStringLiteral("gnome-terminal-server"), QStringLiteral("Gnome-terminal")}, FakeKeyInjector::vKey, true,
         true},
        {{QStringLiteral("konsole"), QStringLiteral("konsole")}, FakeKeyInjector::vKey, true, true},
        {{QStringLiteral("xterm"), QStringLiteral("XTerm")}, FakeKeyInjector::insertKey, true, false},
        {{QStringLiteral("urxvt"), QStringLiteral("URxvt")}, FakeKeyInjector::insertKey, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.windowClass.join(QLatin1Char('/')).toStdString());
        injector_ = std::make_shared<FakeKeyInjector>(sleep_.clock());
        injector_->windowClass = c.windowClass;
        paste(QStringLiteral("ls"));
        ASSERT_EQ(injector_->taps().size(), 1u);
        const auto& tap = injector_->taps()[0];
        EXPECT_EQ(tap.keyCode, c.keyCode);
        EXPECT_EQ(tap.shift, c.shift);
        EXPECT_EQ(tap.control, c.control);
    }
}

TEST(PasteChordTest, MatchesInstanceOrClassWhateverTheCase)
{
    using Kind = PasteChord::Kind;
    EXPECT_EQ(PasteChord::forWindowClass({QStringLiteral("x"), QStringLiteral("Alacritty")}), Kind::controlShiftV);
    EXPECT_EQ(PasteChord::forWindowClass({QStringLiteral("XTERM")}), Kind::shiftInsert);
    EXPECT_EQ(PasteChord::forWindowClass({QStringLiteral("terminalish")}), Kind::controlV);
    EXPECT_EQ(PasteChord::forWindowClass({QStringLiteral("firefox"), QStringLiteral("Firefox")}), Kind::controlV);
}

TEST_F(ClipboardInserterTest, FailuresPutTheContentsBack)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        ClipboardInserterError expected;
        bool tapped;
    };
    const Case cases[] = {
        {"clipboardRefused", [this] { pasteboard_->refuseText = true; },
         ClipboardInserterError::pasteboardWriteFailed(), false},
        {"primaryRefused",
         [this] {
             pasteboard_->refuseText = true;
             pasteboard_->refuseTextOn = PasteboardSelection::primary;
         },
         ClipboardInserterError::pasteboardWriteFailed(), false},
        {"noSyntheticInput", [this] { injector_->available = false; },
         ClipboardInserterError::eventSourceFailed(), false},
        {"keyRefused", [this] { injector_->refuseTapsFrom = 0; },
         ClipboardInserterError::eventBuildFailed(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pasteboard_ = std::make_shared<FakePasteboard>();
        pasteboard_->hold(PasteboardSelection::clipboard, earlierClipboard, x11Targets);
        pasteboard_->hold(PasteboardSelection::primary, earlierPrimary);
        injector_ = std::make_shared<FakeKeyInjector>(sleep_.clock());
        guard_.clear();
        c.arrange();
        const auto error = errorPasting(QStringLiteral("text"));
        ASSERT_TRUE(error);
        EXPECT_EQ(*error, c.expected);
        expectRestored();
        EXPECT_TRUE(guard_.empty() || guard_ == (std::vector<bool>{true, false}));
    }
}

TEST_F(ClipboardInserterTest, WaitsForTheUsersModifiersBeforeTheChord)
{
    injector_->modifiersHeldUntil = 300ms;
    paste(QStringLiteral("x"));
    ASSERT_EQ(atTap_.size(), 1u);
    EXPECT_GE(atTap_[0].at, 300ms);
    EXPECT_EQ(injector_->releaseCount(), 0);
}

TEST_F(ClipboardInserterTest, EmptyTextTouchesNothing)
{
    paste(QString());
    EXPECT_TRUE(pasteboard_->writes().empty());
    EXPECT_TRUE(injector_->taps().empty());
}

TEST(ClipboardSnapshotTest, KeepsContentFormatsOnly)
{
    const std::pair<const char*, bool> cases[] = {
        {"text/plain", true},
        {"text/plain;charset=utf-8", true},
        {"text/html", true},
        {"image/png", true},
        {"text/uri-list", true},
        {"x-special/gnome-copied-files", true},
        {"application/x-qt-image", false},
        {"TARGETS", false},
        {"MULTIPLE", false},
        {"TIMESTAMP", false},
        {"SAVE_TARGETS", false},
        {"UTF8_STRING", false},
        {"COMPOUND_TEXT", false},
        {"", false},
        {"chromium/x-web-custom-data", true},
        {"Pixmap", true},
    };
    for (const auto& [format, kept] : cases)
        EXPECT_EQ(ClipboardSnapshot::keepsFormat(QString::fromLatin1(format)), kept) << format;
}

TEST(ClipboardSnapshotTest, LastDataOfARepeatedFormatWins)
{
    FakePasteboard pasteboard;
    pasteboard.hold(PasteboardSelection::clipboard, {{QStringLiteral("text/plain"), QByteArrayLiteral("first")},
                                                     {QStringLiteral("text/plain"), QByteArrayLiteral("last")}});
    const auto snapshot = ClipboardSnapshot::take(pasteboard, PasteboardSelection::clipboard);
    ASSERT_EQ(snapshot.entries().size(), 1u);
    EXPECT_EQ(snapshot.entries()[0].data, QByteArrayLiteral("last"));
}

} // namespace
} // namespace vellamor::test
