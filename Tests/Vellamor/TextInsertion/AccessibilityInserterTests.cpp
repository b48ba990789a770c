#include "ErrorOf.h"
#include "FakeAccessibilityBus.h"
#include "FakeAccessibilityStatus.h"
#include "FakeCommandLauncher.h"
#include "FakeInputMonitoringProbe.h"
#include "FakeSoundServer.h"
#include "RecordingSystemLog.h"
#include "QtPrinters.h"
#include "TestEnvironment.h"

#include "Settings/UserDefaults.h"
#include "TextInsertion/DefaultAccessibilityProbe.h"
#include "TextInsertion/InsertionPreferences.h"
#include "TextInsertion/SystemLayeredInserter.h"
#include "TextInsertion/Inserters/AccessibilityInserter.h"
#include "TextInsertion/Inserters/AccessibilityInserterError.h"

#include <QDir>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using Kind = AccessibilityInserterError::Kind;
using platform::AccessibleRange;

constexpr qint64 ownPid = 1000;
constexpr qint64 otherPid = 4242;

class AccessibilityInserterTest : public ::testing::Test {
protected:
    AccessibilityInserter inserter()
    {
        return AccessibilityInserter(
            bus_, [this] { return trusted_; }, [this] { return preferKeyboard_; }, ownPid);
    }

    FakeAccessibilityBus::Field field(const QString& text, std::optional<int> caret,
                                      const QString& toolkit = QStringLiteral("Qt"))
    {
        FakeAccessibilityBus::Field f;
        f.toolkit = toolkit;
        f.processId = otherPid;
        f.text = text;
        f.caret = caret;
        return f;
    }

    std::optional<AccessibilityInserterError> errorInserting(const QString& text)
    {
        auto ax = inserter();
        return errorOf<AccessibilityInserterError>(ax.insert(text));
    }

    void insertOk(const QString& text)
    {
        auto ax = inserter();
        EXPECT_NO_THROW(runBlocking(ax.insert(text)));
    }

    std::shared_ptr<FakeAccessibilityBus> bus_ = std::make_shared<FakeAccessibilityBus>();
    bool trusted_ = true;
    bool preferKeyboard_ = false;
};

TEST_F(AccessibilityInserterTest, ChecksAccessFocusAndOwnerBeforeTouchingTheField)
{
    struct Case {
        const char* name;
        bool trusted;
        bool focused;
        std::optional<qint64> pid;
        bool preferKeyboard;
        bool editable;
        Kind expected;
    };
    const Case cases[] = {
        {"untrusted", false, true, otherPid, false, true, Kind::notTrusted},
        {"untrustedWithoutFocus", false, false, otherPid, false, true, Kind::notTrusted},
        {"noFocus", true, false, otherPid, false, true, Kind::noFocus},
        {"ownWindow", true, true, ownPid, false, true, Kind::selfReflective},
        {"ownWindowPreferringKeys", true, true, ownPid, true, true, Kind::selfReflective},
        {"preferKeyboard", true, true, otherPid, true, true, Kind::notSupported},
        {"notEditable", true, true, otherPid, false, false, Kind::notSupported},
        {"notEditableUnknownOwner", true, true, std::nullopt, false, false, Kind::notSupported},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus_ = std::make_shared<FakeAccessibilityBus>();
        trusted_ = c.trusted;
        preferKeyboard_ = c.preferKeyboard;
        if (c.focused) {
            auto f = field(QStringLiteral("abc"), 3);
            f.processId = c.pid;
            f.editable = c.editable;
            bus_->focus(f);
        }
        const auto error = errorInserting(QStringLiteral("x"));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), c.expected);
        EXPECT_TRUE(bus_->writes().isEmpty());
        if (!c.trusted) {
            EXPECT_TRUE(bus_->calls().isEmpty());
        }
        if (c.focused) {
            EXPECT_EQ(bus_->field().text, QStringLiteral("abc"));
        }
    }
}

TEST_F(AccessibilityInserterTest, InsertsAtTheCaretAndReplacesTheSelection)
{
    // Five characters, nothing selected: six more read back as eleven.
    bus_->focus(field(QStringLiteral("hello"), 5));
    insertOk(QStringLiteral("world!"));
    EXPECT_EQ(bus_->field().text, QStringLiteral("helloworld!"));
    EXPECT_EQ(bus_->writes(), QStringList{QStringLiteral("insertText(5,\"world!\",6)")});

    // Three of five selected: eight read back.
    auto selected = field(QStringLiteral("hello"), 4);
    selected.selection = AccessibleRange{1, 4};
    bus_->focus(selected);
    insertOk(QStringLiteral("world!"));
    EXPECT_EQ(bus_->field().text, QStringLiteral("hworld!o"));

    // A selection reported backwards (anchor after the caret) is the same run.
    auto backwards = field(QStringLiteral("hello"), 1);
    backwards.selection = AccessibleRange{4, 1};
    bus_->focus(backwards);
    insertOk(QStringLiteral("X"));
    EXPECT_EQ(bus_->field().text, QStringLiteral("hXo"));
}

TEST_F(AccessibilityInserterTest, KeepsTheUsersTextWhenOnlyTheWholeValueCanBeSet)
{
    // The caret is unknown, so the value path runs; it must not erase "draft: ".
    bus_->focus(field(QStringLiteral("draft: "), std::nullopt));
    insertOk(QStringLiteral("你好"));
    EXPECT_EQ(bus_->field().text, QStringLiteral("draft: 你好"));
    EXPECT_EQ(bus_->writes(), QStringList{QStringLiteral("setTextContents(\"draft: 你好\")")});

    auto selected = field(QStringLiteral("one two three"), std::nullopt, QStringLiteral("GAIL"));
    selected.selection = AccessibleRange{4, 7};
    bus_->focus(selected);
    insertOk(QStringLiteral("2"));
    EXPECT_EQ(bus_->field().text, QStringLiteral("one 2 three"));
}

TEST_F(AccessibilityInserterTest, ValuePathWithoutReadableValueIsNotSupported)
{
    auto f = field(QStringLiteral("secret"), std::nullopt);
    f.unreadable = true;
    bus_->focus(f);
    const auto error = errorInserting(QStringLiteral("x"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::notSupported);
    EXPECT_TRUE(bus_->writes().isEmpty());
    EXPECT_EQ(bus_->field().text, QStringLiteral("secret"));
}

TEST_F(AccessibilityInserterTest, ValueThatDidNotArriveIsPutBackAndReportedNotWritten)
{
    auto f = field(QStringLiteral("abc"), std::nullopt);
    f.reformat = [](const QString& text) { return text.left(4); };
    bus_->focus(f);
    const auto error = errorInserting(QStringLiteral("XYZ"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::notWritten);
    EXPECT_EQ(bus_->writes(), (QStringList{QStringLiteral("setTextContents(\"abcXYZ\")"),
                                           QStringLiteral("setTextContents(\"abc\")")}));
    EXPECT_EQ(bus_->field().text, QStringLiteral("abc"));
}

TEST_F(AccessibilityInserterTest, ValueRestoreFailureStillReportsNotWritten)
{
    auto f = field(QStringLiteral("abc"), std::nullopt);
    int writes = 0;
    f.reformat = [&writes](const QString& text) { return ++writes == 1 ? QStringLiteral("zzz") : text; };
    bus_->focus(f);
    const auto error = errorInserting(QStringLiteral("XYZ"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::notWritten);
}

TEST_F(AccessibilityInserterTest, AcceptedWriteThatCannotBeReadBackCountsAsInserted)
{
    // Regression: reporting notWritten here made the keystroke layer type
    // the text a second time.
    auto atCaret = field(QStringLiteral("ab"), 1);
    atCaret.unreadableAfterWrite = true;
    bus_->focus(atCaret);
    insertOk(QStringLiteral("X"));
    EXPECT_EQ(bus_->field().text, QStringLiteral("aXb"));
    EXPECT_EQ(bus_->writes(), QStringList{QStringLiteral("insertText(1,\"X\",1)")});

    auto value = field(QStringLiteral("ab"), std::nullopt);
    value.unreadableAfterWrite = true;
    bus_->focus(value);
    insertOk(QStringLiteral("X"));
    EXPECT_EQ(bus_->writes(), QStringList{QStringLiteral("setTextContents(\"abX\")")});
    EXPECT_EQ(bus_->field().text, QStringLiteral("abX"));
}

TEST_F(AccessibilityInserterTest, TextThatArrivedCountsAsInsertedEvenWhenTheFieldChangedMore)
{
    // The field appends its own suffix: lengths disagree, the text is there.
    auto suffixed = field(QStringLiteral("ab"), 1);
    suffixed.reformat = [](const QString& text) { return text + QStringLiteral("…"); };
    bus_->focus(suffixed);
    insertOk(QStringLiteral("🎉x"));
    EXPECT_EQ(bus_->field().text, QStringLiteral("a🎉xb…"));
    EXPECT_EQ(bus_->writes().size(), 1);

    // The value before could not be read; the one after shows the text.
    auto blind = field(QStringLiteral("ab"), 1);
    blind.unreadableUntilWrite = true;
    bus_->focus(blind);
    insertOk(QStringLiteral("Q"));
    EXPECT_EQ(bus_->field().text, QStringLiteral("aQb"));
}

TEST_F(AccessibilityInserterTest, TextThatDidNotArriveAtTheCaretIsNotWrittenAndNotUndone)
{
    auto limited = field(QStringLiteral("abcd"), 4);
    limited.reformat = [](const QString& text) { return text.left(5); };
    bus_->focus(limited);
    const auto error = errorInserting(QStringLiteral("XYZ"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::notWritten);
    EXPECT_EQ(bus_->writes(), QStringList{QStringLiteral("insertText(4,\"XYZ\",3)")});
    EXPECT_EQ(bus_->field().text, QStringLiteral("abcdX"));

    // A field that accepts and ignores the write: unchanged is not arrived,
    // even though the text happens to stand at the caret already.
    auto ignoring = field(QStringLiteral("aXb"), 1);
    ignoring.reformat = [](const QString&) { return QStringLiteral("aXb"); };
    bus_->focus(ignoring);
    const auto ignored = errorInserting(QStringLiteral("X"));
    ASSERT_TRUE(ignored);
    EXPECT_EQ(ignored->kind(), Kind::notWritten);
}

TEST_F(AccessibilityInserterTest, RefusedWritesReportTheirCode)
{
    auto refusing = field(QStringLiteral("ab"), 1);
    refusing.insertStatus = -25205;
    bus_->focus(refusing);
    auto error = errorInserting(QStringLiteral("X"));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, AccessibilityInserterError::failed(-25205));
    EXPECT_EQ(error->debugDescription(), QStringLiteral("failed(-25205)"));

    auto undeletable = field(QStringLiteral("abc"), 1);
    undeletable.selection = AccessibleRange{1, 2};
    undeletable.deleteStatus = 7;
    bus_->focus(undeletable);
    error = errorInserting(QStringLiteral("X"));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, AccessibilityInserterError::failed(7));
    EXPECT_EQ(bus_->writes(), QStringList{QStringLiteral("deleteText(1,2)")});
    EXPECT_EQ(bus_->field().text, QStringLiteral("abc"));

    auto unsettable = field(QStringLiteral("abc"), std::nullopt);
    unsettable.setStatus = 3;
    bus_->focus(unsettable);
    error = errorInserting(QStringLiteral("X"));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, AccessibilityInserterError::failed(3));
}

// Offsets and insertion lengths in the target toolkit's own units.
struct UnitCase {
    const char* name;
    const char* toolkit;
    int caret;
    std::optional<AccessibleRange> selection;
    const char* expectedWrites;
    const char* expectedText;
};

class ToolkitUnitsTest : public AccessibilityInserterTest, public ::testing::WithParamInterface<UnitCase> {
};

TEST_P(ToolkitUnitsTest, WritesInTheToolkitsUnitsAndVerifiesByText)
{
    const UnitCase& c = GetParam();
    auto f = field(QStringLiteral("a🎉b"), c.caret, QString::fromLatin1(c.toolkit));
    f.selection = c.selection;
    bus_->focus(f);
    insertOk(QStringLiteral("世界🎉"));
    EXPECT_EQ(bus_->writes().join(QLatin1Char(' ')), QString::fromUtf8(c.expectedWrites));
    EXPECT_EQ(bus_->field().text, QString::fromUtf8(c.expectedText));
}

INSTANTIATE_TEST_SUITE_P(
    Units, ToolkitUnitsTest,
    ::testing::Values(
        // Qt: UTF-16 offsets (the emoji is two), UTF-16 length (4).
        UnitCase{"QtAfterEmoji", "Qt", 3, std::nullopt, "insertText(3,\"世界🎉\",4)", "a🎉世界🎉b"},
        UnitCase{"QtReplacingEmoji", "Qt", 3, AccessibleRange{1, 3}, "deleteText(1,3) insertText(1,\"世界🎉\",4)",
                 "a世界🎉b"},
        // GTK: code-point offsets (the emoji is one), UTF-8 length (10 bytes).
        UnitCase{"GtkAfterEmoji", "GAIL", 2, std::nullopt, "insertText(2,\"世界🎉\",10)", "a🎉世界🎉b"},
        UnitCase{"GtkReplacingEmoji", "GAIL", 2, AccessibleRange{1, 2},
                 "deleteText(1,2) insertText(1,\"世界🎉\",10)", "a世界🎉b"},
        UnitCase{"Gtk4AtEnd", "GTK", 3, std::nullopt, "insertText(3,\"世界🎉\",10)", "a🎉b世界🎉"}),
    [](const ::testing::TestParamInfo<UnitCase>& info) { return std::string(info.param.name); });

TEST_F(AccessibilityInserterTest, CanInsertFollowsThePreferenceAndTheFieldsAbilities)
{
    auto ax = inserter();
    bus_->focus(field(QStringLiteral("abc"), 1));
    auto element = bus_->focusedElement();
    EXPECT_TRUE(ax.canInsert(*element));
    preferKeyboard_ = true;
    EXPECT_FALSE(ax.canInsert(*element));
    preferKeyboard_ = false;

    bus_->field().caret = std::nullopt;
    EXPECT_TRUE(ax.canInsert(*element));
    bus_->field().unreadable = true;
    EXPECT_FALSE(ax.canInsert(*element));
    bus_->field().caret = 0;
    bus_->field().editable = false;
    EXPECT_FALSE(ax.canInsert(*element));
}

TEST_F(AccessibilityInserterTest, FocusedElementIsNoneWithoutAccess)
{
    bus_->focus(field(QStringLiteral("abc"), 1));
    auto ax = inserter();
    EXPECT_NE(ax.focusedElement(), nullptr);
    trusted_ = false;
    const auto callsBefore = bus_->calls().size();
    EXPECT_EQ(ax.focusedElement(), nullptr);
    EXPECT_EQ(bus_->calls().size(), callsBefore);
}

TEST(DefaultAccessibilityProbeTest, AnswersWhetherAnotherApplicationHasAFocusedElement)
{
    struct Case {
        const char* name;
        bool trusted;
        bool preferKeyboard;
        bool focused;
        std::optional<qint64> pid;
        bool expected;
    };
    const Case cases[] = {
        {"untrusted", false, false, true, otherPid, false},
        {"preferKeyboard", true, true, true, otherPid, false},
        {"nothingFocused", true, false, false, otherPid, false},
        {"ownerUnknown", true, false, true, std::nullopt, true},
        {"ownProcess", true, false, true, ownPid, false},
        {"otherProcess", true, false, true, otherPid, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bus = std::make_shared<FakeAccessibilityBus>();
        if (c.focused) {
            FakeAccessibilityBus::Field f;
            f.processId = c.pid;
            bus->focus(f);
        }
        DefaultAccessibilityProbe probe(
            bus, [&] { return c.trusted; }, [&] { return c.preferKeyboard; }, ownPid);
        EXPECT_EQ(probe.isTrustedAndHasFocus(), c.expected);
        if (!c.trusted || c.preferKeyboard) {
            EXPECT_TRUE(bus->calls().isEmpty());
        }
    }
}

TEST(InsertionPreferencesTest, ReadsPreferKeyboardOverAXAtEveryCall)
{
    auto defaults = std::make_shared<UserDefaults>(QDir(testHome()).filePath(QStringLiteral("prefs.ini")));
    const auto prefer = InsertionPreferences::preferKeyboardOverAX(defaults);
    EXPECT_FALSE(prefer());
    ASSERT_TRUE(defaults->setBool(QStringLiteral("preferKeyboardOverAX"), true));
    EXPECT_TRUE(prefer());
    ASSERT_TRUE(defaults->setBool(QStringLiteral("preferKeyboardOverAX"), false));
    EXPECT_FALSE(prefer());
    EXPECT_FALSE(InsertionPreferences::preferKeyboardOverAX(nullptr)());
}

TEST(SystemLayeredInserterTest, TrustFollowsTheAccessibilityPermissionAtEveryCall)
{
    auto status = std::make_shared<FakeAccessibilityStatus>(true);
    auto permissions = std::make_shared<PermissionChecker>(
        PermissionChecker::Facilities{
            std::make_shared<FakeInputMonitoringProbe>(platform::InputMonitoringSupport::available),
            std::make_shared<FakeSoundServer>(), status, std::make_shared<FakeCommandLauncher>()},
        VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("permission"),
                    std::make_shared<RecordingSystemLog>(), nullptr));
    const auto trusted = SystemLayeredInserter::accessibilityTrust(permissions);
    EXPECT_TRUE(trusted());
    status->enabled = false;
    EXPECT_FALSE(trusted());
    status->enabled = std::nullopt;
    EXPECT_FALSE(trusted());
    EXPECT_FALSE(SystemLayeredInserter::accessibilityTrust(nullptr)());
}

} // namespace
} // namespace vellamor::test
