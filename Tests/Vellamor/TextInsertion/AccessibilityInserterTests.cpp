#include "FakeAccessibilityBus.h"
#include "FakeKeyInjector.h"
#include "QtPrinters.h"
#include "TestEnvironment.h"

#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/DefaultAccessibilityProbe.h"
#include "TextInsertion/InsertionPreferences.h"
#include "TextInsertion/Inserters/AccessibilityInserter.h"
#include "TextInsertion/Inserters/AccessibilityInserterError.h"
#include "TextInsertion/ToolkitTextUnits.h"

#include <QDir>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
using Error = AccessibilityInserterError;
using Kind = AccessibilityInserterError::Kind;
using Field = FakeAccessibilityBus::Field;
using platform::AccessibleRange;
using Bus = platform::AccessibilityBus;

constexpr qint64 ownPid = 1000;
constexpr qint64 otherPid = 4242;

Field field(const char* toolkit, const QString& text, std::optional<int> caret,
            std::optional<AccessibleRange> selection = std::nullopt)
{
    Field f;
    f.toolkit = QString::fromLatin1(toolkit);
    f.text = text;
    f.caret = caret;
    f.selection = selection;
    return f;
}

// `f` with one more property set.
template<typename T>
Field with(Field f, T Field::*property, std::type_identity_t<T> value)
{
    f.*property = std::move(value);
    return f;
}

class AccessibilityInserterTest : public ::testing::Test {
protected:
    // Inserts into the focused field; none when that worked.
    std::optional<Error> insert(const QString& text)
    {
        AccessibilityInserter ax(
            bus_, [this] { return trusted_; }, [this] { return preferKeyboard_; }, ownPid);
        try {
            runBlocking(ax.insert(text));
        } catch (const Error& error) {
            return error;
        }
        return std::nullopt;
    }

    std::shared_ptr<FakeAccessibilityBus> bus_ = std::make_shared<FakeAccessibilityBus>();
    bool trusted_ = true;
    bool preferKeyboard_ = false;
};

// The probe decides whether the layers run at all; the inserter checks the
// same before it touches the field, in this order.
TEST_F(AccessibilityInserterTest, ChecksAccessFocusAndOwnerBeforeTouchingTheField)
{
    struct Case {
        const char* name;
        bool trusted;
        bool focused;
        std::optional<qint64> pid;
        bool preferKeyboard;
        bool editable;
        FocusTarget probeAnswer;
        Kind expected;
    };
    const Case cases[] = {
        {"untrusted", false, true, otherPid, false, true, FocusTarget::none, Kind::notTrusted},
        {"untrustedWithoutFocus", false, false, otherPid, false, true, FocusTarget::none, Kind::notTrusted},
        // Another application's window has the input focus.
        {"noFocus", true, false, otherPid, false, true, FocusTarget::window, Kind::noFocus},
        {"ownWindow", true, true, ownPid, false, true, FocusTarget::none, Kind::selfReflective},
        {"ownWindowPreferringKeys", true, true, ownPid, true, true, FocusTarget::none, Kind::selfReflective},
        {"preferKeyboard", true, true, otherPid, true, true, FocusTarget::none, Kind::notSupported},
        {"notEditable", true, true, otherPid, false, false, FocusTarget::element, Kind::notSupported},
        {"notEditableUnknownOwner", true, true, std::nullopt, false, false, FocusTarget::element, Kind::notSupported},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus_ = std::make_shared<FakeAccessibilityBus>();
        trusted_ = c.trusted;
        preferKeyboard_ = c.preferKeyboard;
        if (c.focused) {
            Field focused = field("Qt", u"abc"_s, 3);
            focused.processId = c.pid;
            focused.editable = c.editable;
            bus_->focus(focused);
        }
        DefaultAccessibilityProbe probe(
            bus_, std::make_shared<FakeKeyInjector>(), [&] { return c.trusted; }, [&] { return c.preferKeyboard; },
            ownPid);
        EXPECT_EQ(probe.focusTarget(), c.probeAnswer);
        if (!c.trusted || c.preferKeyboard) {
            EXPECT_TRUE(bus_->calls().isEmpty());
        }
        const auto error = insert(u"x"_s);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), c.expected);
        EXPECT_TRUE(bus_->writes().isEmpty());
        if (!c.trusted) {
            EXPECT_TRUE(bus_->calls().isEmpty());
        }
    }
}

// Offsets and insertion lengths are in the toolkit's units (Qt: UTF-16; the
// others: code points and UTF-8 bytes). Every write is read back.
TEST_F(AccessibilityInserterTest, WritesAtTheCaretOrThroughTheValueAndChecksWhatArrived)
{
    const auto keepFirst = [](qsizetype n) { return [n](const QString& text) { return text.left(n); }; };
    struct Case {
        const char* name;
        Field field;
        QString inserted;
        // None: inserted.
        std::optional<Error> expected;
        QStringList writes;
        QString textAfter;
    };
    const std::optional<int> noCaret;
    const Case cases[] = {
        {"qtAtTheCaretAfterAnEmoji", field("Qt", u"a🎉b"_s, 3), u"世界🎉"_s, std::nullopt,
         {uR"(insertText(3,"世界🎉",4))"_s}, u"a🎉世界🎉b"_s},
        {"qtOverASelectedEmoji", field("Qt", u"a🎉b"_s, 3, AccessibleRange{1, 3}), u"世界🎉"_s, std::nullopt,
         {u"deleteText(1,3)"_s, uR"(insertText(1,"世界🎉",4))"_s}, u"a世界🎉b"_s},
        {"selectionReportedBackwards", field("Qt", u"hello"_s, 1, AccessibleRange{4, 1}), u"X"_s, std::nullopt,
         {u"deleteText(1,4)"_s, uR"(insertText(1,"X",1))"_s}, u"hXo"_s},
        {"gtkAtTheCaretAfterAnEmoji", field("GAIL", u"a🎉b"_s, 2), u"世界🎉"_s, std::nullopt,
         {uR"(insertText(2,"世界🎉",10))"_s}, u"a🎉世界🎉b"_s},
        {"gtkOverASelectedEmoji", field("GAIL", u"a🎉b"_s, 2, AccessibleRange{1, 2}), u"世界🎉"_s, std::nullopt,
         {u"deleteText(1,2)"_s, uR"(insertText(1,"世界🎉",10))"_s}, u"a世界🎉b"_s},
        {"gtk4AtTheEnd", field("GTK", u"a🎉b"_s, 3), u"世界🎉"_s, std::nullopt, {uR"(insertText(3,"世界🎉",10))"_s},
         u"a🎉b世界🎉"_s},
        // Without a caret the whole value is set: around what the user had typed.
        {"unknownCaretKeepsTheUsersText", field("Qt", u"draft: "_s, noCaret), u"你好"_s, std::nullopt,
         {uR"(setTextContents("draft: 你好"))"_s}, u"draft: 你好"_s},
        {"unknownCaretReplacesTheSelection", field("GAIL", u"one 🎉 three"_s, noCaret, AccessibleRange{4, 5}), u"2"_s,
         std::nullopt, {uR"(setTextContents("one 2 three"))"_s}, u"one 2 three"_s},
        {"unknownCaretAndUnreadableValue", with(field("Qt", u"secret"_s, noCaret), &Field::unreadable, true), u"x"_s,
         Error::notSupported(), {}, u"secret"_s},
        // Regression: reporting notWritten here made the keystroke layer type
        // the text a second time.
        {"acceptedAtTheCaretThenUnreadable", with(field("Qt", u"ab"_s, 1), &Field::unreadableAfterWrite, true),
         u"X"_s, std::nullopt, {uR"(insertText(1,"X",1))"_s}, u"aXb"_s},
        {"acceptedValueThenUnreadable", with(field("Qt", u"ab"_s, noCaret), &Field::unreadableAfterWrite, true),
         u"X"_s, std::nullopt, {uR"(setTextContents("abX"))"_s}, u"abX"_s},
        {"unreadableBeforeTheWrite", with(field("Qt", u"ab"_s, 1), &Field::unreadableUntilWrite, true), u"Q"_s,
         std::nullopt, {uR"(insertText(1,"Q",1))"_s}, u"aQb"_s},
        {"arrivedAndTheFieldAddedASuffix",
         with(field("Qt", u"ab"_s, 1), &Field::reformat, [](const QString& text) { return text + u"…"_s; }),
         u"🎉x"_s, std::nullopt, {uR"(insertText(1,"🎉x",3))"_s}, u"a🎉xb…"_s},
        // Cut short at the caret: changed otherwise than asked, and not undone either.
        {"cutShortAtTheCaret", with(field("Qt", u"abcd"_s, 4), &Field::reformat, keepFirst(5)), u"XYZ"_s,
         Error::changedUnexpectedly(), {uR"(insertText(4,"XYZ",3))"_s}, u"abcdX"_s},
        // Unchanged is not arrived, though the text stands at the caret already.
        {"acceptedAndIgnored",
         with(field("Qt", u"aXb"_s, 1), &Field::reformat, [](const QString&) { return u"aXb"_s; }), u"X"_s,
         Error::notWritten(), {uR"(insertText(1,"X",1))"_s}, u"aXb"_s},
        {"valueCutShortIsPutBack", with(field("Qt", u"abc"_s, noCaret), &Field::reformat, keepFirst(4)), u"XYZ"_s,
         Error::notWritten(), {uR"(setTextContents("abcXYZ"))"_s, uR"(setTextContents("abc"))"_s}, u"abc"_s},
        {"insertRefused", with(field("Qt", u"ab"_s, 1), &Field::insertStatus, -25205), u"X"_s, Error::failed(-25205),
         {uR"(insertText(1,"X",1))"_s}, u"ab"_s},
        {"deleteRefused", with(field("Qt", u"abc"_s, 1, AccessibleRange{1, 2}), &Field::deleteStatus, 7), u"X"_s,
         Error::failed(7), {u"deleteText(1,2)"_s}, u"abc"_s},
        {"valueRefused", with(field("Qt", u"abc"_s, noCaret), &Field::setStatus, 3), u"X"_s, Error::failed(3),
         {uR"(setTextContents("abcX"))"_s}, u"abc"_s},
        // Reading it back would hold the application for seconds.
        {"fieldTooLongToRead", field("Qt", QString(accessibleTextLimit, u'a'), 0), u"X"_s, Error::notSupported(), {},
         QString(accessibleTextLimit, u'a')},
        // A write past the call's time-out: only what the field shows counts.
        {"lateButArrived", with(field("GAIL", u"ab"_s, 1), &Field::answersLate, true), u"X"_s, std::nullopt,
         {uR"(insertText(1,"X",1))"_s}, u"aXb"_s},
        {"lateAndNotThereYet", with(field("Qt", u"ab"_s, 1), &Field::insertStatus, Bus::unanswered), u"X"_s,
         Error::unanswered(), {uR"(insertText(1,"X",1))"_s}, u"ab"_s},
        {"lateValueIsNotPutBack",
         with(with(field("Qt", u"abc"_s, noCaret), &Field::answersLate, true), &Field::reformat, keepFirst(4)),
         u"XYZ"_s, Error::unanswered(), {uR"(setTextContents("abcXYZ"))"_s}, u"abcX"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus_->focus(c.field);
        EXPECT_EQ(insert(c.inserted), c.expected);
        EXPECT_EQ(bus_->writes(), c.writes);
        EXPECT_EQ(bus_->field().text, c.textAfter);
    }
}

TEST(ToolkitTextUnitsTest, ConvertsOffsetsAroundSurrogatePairs)
{
    const ToolkitTextUnits qt = ToolkitTextUnits::forToolkit(u" QT "_s);
    const ToolkitTextUnits gtk = ToolkitTextUnits::forToolkit(u"GAIL"_s);
    const QString text = u"a🎉b世"_s;
    struct Case {
        const ToolkitTextUnits& units;
        int offset;
        qsizetype index;
    };
    const Case toIndex[] = {
        {qt, 0, 0}, {qt, 1, 1}, {qt, 2, 1}, {qt, 3, 3}, {qt, 5, 5}, {qt, 9, 5}, {qt, -1, 0},
        {gtk, 0, 0}, {gtk, 1, 1}, {gtk, 2, 3}, {gtk, 3, 4}, {gtk, 4, 5}, {gtk, 9, 5},
    };
    for (const Case& c : toIndex)
        EXPECT_EQ(c.units.indexOf(text, c.offset), c.index) << (&c.units == &qt ? "Qt " : "GTK ") << c.offset;
    const Case toOffset[] = {
        {qt, 3, 3}, {qt, 5, 5}, {gtk, 1, 1}, {gtk, 2, 3}, {gtk, 3, 4}, {gtk, 4, 5}, {gtk, 4, 99},
    };
    for (const Case& c : toOffset)
        EXPECT_EQ(c.units.offsetOf(text, c.index), c.offset) << (&c.units == &qt ? "Qt " : "GTK ") << c.index;
}

TEST(InsertionPreferencesTest, ReadsPreferKeyboardOverAXAtEveryCall)
{
    auto defaults = std::make_shared<UserDefaults>(QDir(testHome()).filePath(u"prefs.ini"_s));
    const auto prefer = InsertionPreferences::preferKeyboardOverAX(defaults);
    EXPECT_FALSE(prefer());
    ASSERT_TRUE(defaults->setBool(u"preferKeyboardOverAX"_s, true));
    EXPECT_TRUE(prefer());
    EXPECT_FALSE(InsertionPreferences::preferKeyboardOverAX(nullptr)());
}

} // namespace
} // namespace vellamor::test
