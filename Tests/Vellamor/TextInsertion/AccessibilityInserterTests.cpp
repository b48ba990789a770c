#include "FakeAccessibilityBus.h"
#include "FakeKeyInjector.h"
#include "QtPrinters.h"
#include "RecordingInsertionSleep.h"
#include "TestEnvironment.h"

#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/DefaultAccessibilityProbe.h"
#include "TextInsertion/Inserters/AccessibilityInserter.h"
#include "TextInsertion/Inserters/AccessibilityInserterError.h"
#include "TextInsertion/InsertionPreferences.h"
#include "TextInsertion/ToolkitTextUnits.h"

#include <QDir>

#include <gmock/gmock.h>

namespace vellamor::test
{
namespace
{

using namespace std::chrono_literals;
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

// Numbered words ("0000 0001 …"), cut to `length`: no two pages alike.
QString numbered(qsizetype length)
{
    QString text;
    for (int i = 0; text.size() < length; ++i)
        text += QString::number(i).rightJustified(4, u'0') + u' ';
    return text.left(length);
}

class AccessibilityInserterTest : public ::testing::Test
{
protected:
    // Inserts into the focused field; none when that worked.
    std::optional<Error> insert(const QString& text)
    {
        AccessibilityInserter ax(bus_, [this] { return trusted_; }, [this] { return preferKeyboard_; }, ownPid,
            sleep_.sleep(), sleep_.steadyClock());
        try {
            runBlocking(ax.insert(text));
        } catch (const Error& error) {
            return error;
        }
        return std::nullopt;
    }

    std::shared_ptr<FakeAccessibilityBus> bus_ = std::make_shared<FakeAccessibilityBus>();
    RecordingInsertionSleep sleep_ { bus_->clock() };
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
        bool readOnly = false;
    };
    const Case cases[] = {
        { "untrusted", false, true, otherPid, false, true, FocusTarget::none, Kind::notTrusted },
        { "untrustedWithoutFocus", false, false, otherPid, false, true, FocusTarget::none, Kind::notTrusted },
        // Another application's window has the input focus.
        { "noFocus", true, false, otherPid, false, true, FocusTarget::window, Kind::noFocus },
        { "ownWindow", true, true, ownPid, false, true, FocusTarget::none, Kind::selfReflective },
        { "ownWindowPreferringKeys", true, true, ownPid, true, true, FocusTarget::none, Kind::selfReflective },
        { "preferKeyboard", true, true, otherPid, true, true, FocusTarget::none, Kind::notSupported },
        { "notEditable", true, true, otherPid, false, false, FocusTarget::element, Kind::notSupported },
        { "notEditableUnknownOwner", true, true, std::nullopt, false, false, FocusTarget::element, Kind::notSupported },
        { "readOnly", true, true, otherPid, false, true, FocusTarget::readOnlyElement, Kind::notSupported, true },
        { "ownReadOnlyWindow", true, true, ownPid, false, true, FocusTarget::none, Kind::selfReflective, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus_ = std::make_shared<FakeAccessibilityBus>();
        trusted_ = c.trusted;
        preferKeyboard_ = c.preferKeyboard;
        if (c.focused) {
            Field focused = field("Qt", QStringLiteral("abc"), 3);
            focused.processId = c.pid;
            focused.editable = c.editable;
            focused.readOnly = c.readOnly;
            bus_->focus(focused);
        }
        DefaultAccessibilityProbe probe(
            bus_, std::make_shared<FakeKeyInjector>(), [&] { return c.trusted; }, [&] { return c.preferKeyboard; },
            ownPid);
        EXPECT_EQ(runBlocking(probe.focusTarget()), c.probeAnswer);
        if (!c.trusted || c.preferKeyboard) {
            EXPECT_TRUE(bus_->calls().isEmpty());
        }
        const auto error = insert(QStringLiteral("x"));
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
        { "qtAtTheCaretAfterAnEmoji", field("Qt", QStringLiteral("a🎉b"), 3), QStringLiteral("世界🎉"), std::nullopt,
            { QStringLiteral(R"(insertText(3,"世界🎉",4))") }, QStringLiteral("a🎉世界🎉b") },
        { "qtOverASelectedEmoji", field("Qt", QStringLiteral("a🎉b"), 3, AccessibleRange { 1, 3 }),
            QStringLiteral("世界🎉"), std::nullopt,
            { QStringLiteral("deleteText(1,3)"), QStringLiteral(R"(insertText(1,"世界🎉",4))") },
            QStringLiteral("a世界🎉b") },
        { "selectionReportedBackwards", field("Qt", QStringLiteral("hello"), 1, AccessibleRange { 4, 1 }),
            QStringLiteral("X"), std::nullopt,
            { QStringLiteral("deleteText(1,4)"), QStringLiteral(R"(insertText(1,"X",1))") }, QStringLiteral("hXo") },
        { "gtkAtTheCaretAfterAnEmoji", field("GAIL", QStringLiteral("a🎉b"), 2), QStringLiteral("世界🎉"), std::nullopt,
            { QStringLiteral(R"(insertText(2,"世界🎉",10))") }, QStringLiteral("a🎉世界🎉b") },
        { "gtkOverASelectedEmoji", field("GAIL", QStringLiteral("a🎉b"), 2, AccessibleRange { 1, 2 }),
            QStringLiteral("世界🎉"), std::nullopt,
            { QStringLiteral("deleteText(1,2)"), QStringLiteral(R"(insertText(1,"世界🎉",10))") },
            QStringLiteral("a世界🎉b") },
        { "gtk4AtTheEnd", field("GTK", QStringLiteral("a🎉b"), 3), QStringLiteral("世界🎉"), std::nullopt,
            { QStringLiteral(R"(insertText(3,"世界🎉",10))") }, QStringLiteral("a🎉b世界🎉") },
        // Without a caret the whole value is set: around what the user had typed.
        { "unknownCaretKeepsTheUsersText", field("Qt", QStringLiteral("draft: "), noCaret), QStringLiteral("你好"),
            std::nullopt, { QStringLiteral(R"(setTextContents("draft: 你好"))") }, QStringLiteral("draft: 你好") },
        { "unknownCaretReplacesTheSelection",
            field("GAIL", QStringLiteral("one 🎉 three"), noCaret, AccessibleRange { 4, 5 }), QStringLiteral("2"),
            std::nullopt, { QStringLiteral(R"(setTextContents("one 2 three"))") }, QStringLiteral("one 2 three") },
        { "unknownCaretAndUnreadableValue",
            with(field("Qt", QStringLiteral("secret"), noCaret), &Field::unreadable, true), QStringLiteral("x"),
            Error::notSupported(), {}, QStringLiteral("secret") },
        // A field read before the write and unreadable after it may have
        // gone with its text (Writer's page): never credited, and never
        // typed into a second time either.
        { "acceptedAtTheCaretThenUnreadable",
            with(field("Qt", QStringLiteral("ab"), 1), &Field::unreadableAfterWrite, true), QStringLiteral("X"),
            Error::changedUnexpectedly(), { QStringLiteral(R"(insertText(1,"X",1))") }, QStringLiteral("aXb") },
        { "acceptedValueThenUnreadable",
            with(field("Qt", QStringLiteral("ab"), noCaret), &Field::unreadableAfterWrite, true), QStringLiteral("X"),
            Error::changedUnexpectedly(), { QStringLiteral(R"(setTextContents("abX"))") }, QStringLiteral("abX") },
        { "unreadableBeforeTheWrite", with(field("Qt", QStringLiteral("ab"), 1), &Field::unreadableUntilWrite, true),
            QStringLiteral("Q"), std::nullopt, { QStringLiteral(R"(insertText(1,"Q",1))") }, QStringLiteral("aQb") },
        { "arrivedAndTheFieldAddedASuffix",
            with(field("Qt", QStringLiteral("ab"), 1), &Field::reformat,
                [](const QString& text) { return text + QStringLiteral("…"); }),
            QStringLiteral("🎉x"), std::nullopt, { QStringLiteral(R"(insertText(1,"🎉x",3))") },
            QStringLiteral("a🎉xb…") },
        // Cut short at the caret: changed otherwise than asked, and not undone either.
        { "cutShortAtTheCaret", with(field("Qt", QStringLiteral("abcd"), 4), &Field::reformat, keepFirst(5)),
            QStringLiteral("XYZ"), Error::changedUnexpectedly(), { QStringLiteral(R"(insertText(4,"XYZ",3))") },
            QStringLiteral("abcdX") },
        // Only "a" went in; the rest of the text stood behind the caret already.
        { "cutShortWhereItsEndStoodAlready",
            with(field("Qt", QStringLiteral("bc"), 0), &Field::reformat,
                [](const QString&) { return QStringLiteral("abc"); }),
            QStringLiteral("abc"), Error::changedUnexpectedly(), { QStringLiteral(R"(insertText(0,"abc",3))") },
            QStringLiteral("abc") },
        // The selection went, the text did not: what is left reads like it.
        { "refusedAfterTheSelectionWasDeleted",
            with(field("Qt", QStringLiteral("abab"), 0, AccessibleRange { 0, 2 }), &Field::insertStatus, -1),
            QStringLiteral("ab"), Error::failed(-1),
            { QStringLiteral("deleteText(0,2)"), QStringLiteral(R"(insertText(0,"ab",2))") }, QStringLiteral("ab") },
        // Unchanged is not arrived, though the text stands at the caret
        // already; accepted, it may still show: no layer may type it again.
        { "acceptedAndIgnored",
            with(field("Qt", QStringLiteral("aXb"), 1), &Field::reformat,
                [](const QString&) { return QStringLiteral("aXb"); }),
            QStringLiteral("X"), Error::unshown(), { QStringLiteral(R"(insertText(1,"X",1))") },
            QStringLiteral("aXb") },
        { "acceptedAndNeverApplied", with(field("GTK", QStringLiteral("ab"), 1), &Field::neverShowsWrites, true),
            QStringLiteral("X"), Error::unshown(), { QStringLiteral(R"(insertText(1,"X",1))") }, QStringLiteral("ab") },
        { "acceptedAndShownLate", with(field("GTK", QStringLiteral("ab"), 1), &Field::showsWritesAfter, 1'500ms),
            QStringLiteral("X"), std::nullopt, { QStringLiteral(R"(insertText(1,"X",1))") }, QStringLiteral("aXb") },
        { "acceptedAndShownAfterTheReadBack",
            with(field("GTK", QStringLiteral("ab"), 1), &Field::showsWritesAfter,
                AccessibilityInserter::readBackLimit + 100ms),
            QStringLiteral("X"),
            Error::unshown(), { QStringLiteral(R"(insertText(1,"X",1))") }, QStringLiteral("aXb") },
        // Firefox accepts writes and applies none: the keys go at once.
        { "firefox", field("Gecko", QStringLiteral("ab"), 2), QStringLiteral("X"), Error::notSupported(), {},
            QStringLiteral("ab") },
        { "acceptedValueNeverApplied",
            with(field("Qt", QStringLiteral("ab"), noCaret), &Field::neverShowsWrites, true), QStringLiteral("X"),
            Error::unshown(), { QStringLiteral(R"(setTextContents("abX"))") }, QStringLiteral("ab") },
        { "valueCutShortIsPutBack", with(field("Qt", QStringLiteral("abc"), noCaret), &Field::reformat, keepFirst(4)),
            QStringLiteral("XYZ"), Error::notWritten(),
            { QStringLiteral(R"(setTextContents("abcXYZ"))"), QStringLiteral(R"(setTextContents("abc"))") },
            QStringLiteral("abc") },
        { "insertRefused", with(field("Qt", QStringLiteral("ab"), 1), &Field::insertStatus, -25205),
            QStringLiteral("X"), Error::failed(-25205), { QStringLiteral(R"(insertText(1,"X",1))") },
            QStringLiteral("ab") },
        { "deleteRefused",
            with(field("Qt", QStringLiteral("abc"), 1, AccessibleRange { 1, 2 }), &Field::deleteStatus, 7),
            QStringLiteral("X"), Error::failed(7), { QStringLiteral("deleteText(1,2)") }, QStringLiteral("abc") },
        { "valueRefused", with(field("Qt", QStringLiteral("abc"), noCaret), &Field::setStatus, 3), QStringLiteral("X"),
            Error::failed(3), { QStringLiteral(R"(setTextContents("abcX"))") }, QStringLiteral("abc") },
        // Reading it back would hold the application for seconds.
        { "fieldTooLongToRead", field("Qt", QString(accessibleTextLimit, u'a'), 0), QStringLiteral("X"),
            Error::notSupported(), {}, QString(accessibleTextLimit, u'a') },
        // A write past the call's time-out: only what the field shows counts.
        { "lateButArrived", with(field("GAIL", QStringLiteral("ab"), 1), &Field::answersLate, true),
            QStringLiteral("X"), std::nullopt, { QStringLiteral(R"(insertText(1,"X",1))") }, QStringLiteral("aXb") },
        { "lateAndNotThereYet", with(field("Qt", QStringLiteral("ab"), 1), &Field::insertStatus, Bus::unanswered),
            QStringLiteral("X"), Error::unanswered(), { QStringLiteral(R"(insertText(1,"X",1))") },
            QStringLiteral("ab") },
        { "lateValueIsNotPutBack",
            with(with(field("Qt", QStringLiteral("abc"), noCaret), &Field::answersLate, true), &Field::reformat,
                keepFirst(4)),
            QStringLiteral("XYZ"), Error::unanswered(), { QStringLiteral(R"(setTextContents("abcXYZ"))") },
            QStringLiteral("abcX") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus_->focus(c.field);
        EXPECT_EQ(insert(c.inserted), c.expected);
        EXPECT_EQ(bus_->writes(), c.writes);
        EXPECT_EQ(bus_->field().text, c.textAfter);
    }
}

// Writer shows a paragraph longer than a page as one element per page, each
// linked to the page before: after a long write the element written to holds
// the text's head, nothing, or is gone, and the focused one the text's end.
// A text that went in is never reported lost, one that did not never credited.
TEST_F(AccessibilityInserterTest, AWriteLongerThanTheElementShowsIsCheckedAcrossItsPages)
{
    const QString longText = numbered(300);
    const auto paged
        = [](const QString& text, int caret) { return with(field("gtk", text, caret), &Field::pageLength, 200); };
    const auto ignored = [](const QString& kept) { return [kept](const QString&) { return kept; }; };
    const QString intro = QStringLiteral("intro ");
    struct Case {
        const char* name;
        Field field;
        std::optional<Error> expected;
        QString textAfter;
    };
    const Case cases[] = {
        { "headThenCaretPage", paged(QString(), 0), std::nullopt, longText },
        { "afterTheUsersText", paged(intro, 6), std::nullopt, intro + longText },
        { "beforeTheUsersText", paged(intro, 0), std::nullopt, longText + intro },
        // The pages between are read back from the caret's.
        { "overThreePages", with(paged(QString(), 0), &Field::pageLength, 100), std::nullopt, longText },
        { "writtenElementEmptied", with(paged(intro, 6), &Field::emptiedAfterInsert, true), std::nullopt,
            intro + longText },
        { "answeredTheWrittenOneGone", with(paged(intro, 6), &Field::goneAfterInsert, true), std::nullopt,
            intro + longText },
        { "goneAndIgnored", with(with(paged(intro, 6), &Field::goneAfterInsert, true), &Field::reformat, ignored(intro)),
            Error::changedUnexpectedly(), intro },
        // Writer under load: the write times out, the element written to is replaced.
        { "unansweredOverThreePagesTheWrittenOneGone",
            with(with(with(paged(intro, 6), &Field::pageLength, 100), &Field::answersLate, true),
                &Field::goneAfterInsert, true),
            std::nullopt, intro + longText },
        { "aMiddlePageMissing",
            with(with(paged(QString(), 0), &Field::pageLength, 100), &Field::reformat,
                [](const QString& text) -> QString { return text.left(100) + text.mid(200); }),
            Error::changedUnexpectedly(), longText.left(100) + longText.mid(200) },
        // The caret's page does not end with the text's end: part of it is missing.
        { "cutShort", with(paged(QString(), 0), &Field::reformat, [](const QString& text) { return text.left(150); }),
            Error::changedUnexpectedly(), longText.left(150) },
        { "emptiedAndIgnored",
            with(with(paged(intro, 6), &Field::emptiedAfterInsert, true), &Field::reformat, ignored(intro)),
            Error::changedUnexpectedly(), intro },
        { "ignoredInAnEmptyField",
            with(with(paged(QString(), 0), &Field::emptiedAfterInsert, true), &Field::reformat, ignored(QString())),
            Error::unshown(), QString() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus_->focus(c.field);
        EXPECT_EQ(insert(longText), c.expected);
        EXPECT_EQ(bus_->writes().size(), 1);
        EXPECT_EQ(bus_->field().text, c.textAfter);
    }
}

// A write into a paragraph that goes on past a page break pushes the page's
// tail onto the next page, or lands at a page's start or end: it counts where
// the whole text stands at its place with all that followed it behind it,
// across the pages. A text missing a page-long piece never counts, though the
// first page reads like the piece.
TEST_F(AccessibilityInserterTest, AWriteIntoAParagraphGoingOnPastAPageIsCheckedAcrossThePagesAfterIt)
{
    const QString paragraph = numbered(60);
    const auto pages = [](const QString& text, int caret, qsizetype length) {
        return with(field("gtk", text, caret), &Field::pageLength, length);
    };
    const auto cutLast = [](const QString& text) { return text.chopped(1); };
    const QString very = QStringLiteral("very ");
    const QString letters = QStringLiteral("abcdefghij").repeated(5);
    const QString longer = numbered(120);
    const QString repeated = QStringLiteral("好的好的好的好的");
    struct Case {
        const char* name;
        Field field;
        QString text;
        std::optional<Error> expected;
        QString textAfter;
    };
    const Case cases[] = {
        { "atTheParagraphsStart", pages(paragraph, 0, 40), very, std::nullopt, very + paragraph },
        { "inAPage", pages(paragraph, 4, 40), very, std::nullopt, paragraph.left(4) + very + paragraph.mid(4) },
        { "atAPagesEnd", pages(paragraph, 40, 40), very, std::nullopt, paragraph.left(40) + very + paragraph.mid(40) },
        { "atAPagesStart", with(pages(paragraph, 40, 40), &Field::caretOnNextPage, true), very, std::nullopt,
            paragraph.left(40) + very + paragraph.mid(40) },
        // The first page had room left for the text's head.
        { "atAPagesStartTheHeadOnThePageBefore",
            with(with(pages(paragraph, 38, 40), &Field::caretOnNextPage, true), &Field::firstPageLength, 38), very,
            std::nullopt, paragraph.left(38) + very + paragraph.mid(38) },
        // The text goes on to the next page, and what followed it to the two after that.
        { "overAPageBreak", pages(longer, 30, 40), letters, std::nullopt, longer.left(30) + letters + longer.mid(30) },
        { "theNextPageCut", with(pages(paragraph, 4, 40), &Field::reformat, cutLast), very,
            Error::changedUnexpectedly(), QString(paragraph.left(4) + very + paragraph.mid(4)).chopped(1) },
        { "atAPagesEndTheNextPageCut", with(pages(paragraph, 40, 40), &Field::reformat, cutLast), very,
            Error::changedUnexpectedly(), QString(paragraph.left(40) + very + paragraph.mid(40)).chopped(1) },
        { "aPageLongPieceMissing",
            with(pages(QString(), 0, 2), &Field::reformat, [](const QString& text) { return text.left(6); }),
            repeated, Error::changedUnexpectedly(), repeated.left(6) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus_->focus(c.field);
        EXPECT_EQ(insert(c.text), c.expected);
        EXPECT_EQ(bus_->writes().size(), 1);
        EXPECT_EQ(bus_->field().text, c.textAfter);
    }
}

// Writer shows each page its share of a selection that goes on past a page
// break (all of the document after Ctrl+A, still so when read before the key
// that ended the selection was handled): deleting the share would take the
// page's text and leave the rest. The keys replace the whole selection, or
// type at the caret once the selection has gone; a selection within the
// paragraph's pages is replaced through the bus.
TEST_F(AccessibilityInserterTest, ASelectionGoingOnPastAPageIsLeftToTheKeys)
{
    const QString paragraph = numbered(60);
    const QString text = QStringLiteral("X");
    struct Case {
        const char* name;
        int caret;
        AccessibleRange selection;
        std::optional<Error> expected;
        QString textAfter;
    };
    const Case cases[] = {
        { "allOfIt", 60, { 0, 60 }, Error::notSupported(), paragraph },
        { "fromThePageBefore", 50, { 30, 50 }, Error::notSupported(), paragraph },
        { "onToThePageAfter", 30, { 30, 50 }, Error::notSupported(), paragraph },
        { "withinAPage", 50, { 42, 50 }, std::nullopt, paragraph.left(42) + text + paragraph.mid(50) },
        { "toTheParagraphsEnd", 60, { 50, 60 }, std::nullopt, paragraph.left(50) + text },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus_->focus(with(field("gtk", paragraph, c.caret, c.selection), &Field::pageLength, 40));
        EXPECT_EQ(insert(text), c.expected);
        EXPECT_EQ(bus_->field().text, c.textAfter);
    }
}

// Writer moves the focus to the caret's page a while after a long write;
// until then the element written to shows the text's head. The text is read
// back until the focus has moved, or the limit passed.
TEST_F(AccessibilityInserterTest, ALongWriteIsReadBackUntilTheFocusReachesTheCaretsPage)
{
    const QString intro = QStringLiteral("intro ");
    // Two pages for every text.
    const auto late = [&](std::chrono::milliseconds after, qsizetype length) {
        return with(with(field("gtk", intro, 6), &Field::pageLength, (intro.size() + length + 1) / 2),
            &Field::focusMovesAfter, after);
    };
    constexpr auto limit = AccessibilityInserter::readBackLimit;
    constexpr auto poll = AccessibilityInserter::readBackPoll;
    struct Case {
        const char* name;
        qsizetype length;
        Field field;
        std::optional<Error> expected;
        std::chrono::milliseconds waited;
    };
    const Case cases[] = {
        { "quickly", 1'000, late(30ms, 1'000), std::nullopt, poll },
        { "afterAFewReads", 3'000, late(180ms, 3'000), std::nullopt, 200ms },
        { "atTheLimit", 10'000 - intro.size(), late(limit, 10'000 - intro.size()), std::nullopt, limit },
        { "afterTheLimit", 3'000, late(limit + 1ms, 3'000), Error::changedUnexpectedly(), limit },
        { "unanswered", 8'000, with(late(500ms, 8'000), &Field::answersLate, true), std::nullopt, 500ms },
        { "unansweredAfterTheLimit", 8'000, with(late(limit + 1ms, 8'000), &Field::answersLate, true),
            Error::unanswered(), limit },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = numbered(c.length);
        bus_->focus(c.field);
        const auto start = bus_->clock()->now;
        EXPECT_EQ(insert(text), c.expected);
        EXPECT_EQ(bus_->clock()->now - start, c.waited);
        EXPECT_EQ(bus_->writes().size(), 1);
        EXPECT_EQ(bus_->field().text, intro + text);
    }
}

// A field that keeps a few characters shows a head of the text that is also
// its end, in the element that still has the focus: not the text carried on
// to the next page.
TEST_F(AccessibilityInserterTest, AFieldThatKeptPartOfTheTextIsNotTakenForAPageOfIt)
{
    struct Case {
        QString text;
        qsizetype limit;
    };
    const Case cases[] = {
        { QStringLiteral("哈哈哈哈哈哈"), 4 },
        { QStringLiteral("好的好的"), 2 },
        { QStringLiteral("ok ok ok"), 5 },
        { QStringLiteral("test, test"), 4 },
        { QStringLiteral("。。。"), 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const auto keep = [limit = c.limit](const QString& text) { return text.left(limit); };
        bus_->focus(with(field("gtk", QString(), 0), &Field::reformat, keep));
        EXPECT_EQ(insert(c.text), Error::changedUnexpectedly());
        EXPECT_EQ(bus_->field().text, c.text.left(c.limit));

        bus_->focus(field("gtk", QString(), 0));
        EXPECT_EQ(insert(c.text), std::nullopt);
        EXPECT_EQ(bus_->field().text, c.text);
        // Pages of (at least) the limit's length show the same pieces, in two elements.
        bus_->focus(with(field("gtk", QString(), 0), &Field::pageLength, std::max(c.limit, (c.text.size() + 1) / 2)));
        EXPECT_EQ(insert(c.text), std::nullopt);
        EXPECT_EQ(bus_->field().text, c.text);
    }
}

// GTK 4 leaves the caret in front of a text written at it: the next text
// must still follow it, not go before it.
TEST_F(AccessibilityInserterTest, ATextWrittenAtTheCaretHasTheCaretBehindIt)
{
    for (const bool caretStays : { false, true }) {
        SCOPED_TRACE(caretStays ? "caretStaysInFront" : "caretMovesOn");
        bus_->focus(with(field("GTK", QStringLiteral("ab🎉"), 3), &Field::caretStaysOnInsert, caretStays));
        EXPECT_EQ(insert(QStringLiteral("文")), std::nullopt);
        EXPECT_EQ(insert(QStringLiteral("字")), std::nullopt);
        EXPECT_EQ(bus_->field().text, QStringLiteral("ab🎉文字"));
        EXPECT_EQ(bus_->field().caret, 5);
    }
}

// The focus moving to another element after a write credits that element
// with the rest of the text only when it belongs to the same application and
// the two show the whole text together, followed by what followed the caret.
TEST_F(AccessibilityInserterTest, AnotherElementIsCreditedOnlyWithTheRestOfTheTextInTheSameApplication)
{
    const QString text = QStringLiteral("你好。");
    // The field keeps `kept` characters; the focus then shows `shown` up to `caret`.
    const auto movedTo = [](const QString& before, qsizetype kept, const QString& shown, int caret,
                             std::optional<qint64> pid) {
        Field f = with(field("gtk", before, 0), &Field::reformat, [kept](const QString& t) { return t.left(kept); });
        f.focusAfterWrite = Field::Elsewhere { shown, caret, pid };
        return f;
    };
    struct Case {
        const char* name;
        Field field;
        std::optional<Error> expected;
    };
    const Case cases[] = {
        { "theRestInTheSameApplication", movedTo(QString(), 1, QStringLiteral("好。"), 2, otherPid), std::nullopt },
        { "theRestInAnotherApplication", movedTo(QString(), 1, QStringLiteral("好。"), 2, 777),
            Error::changedUnexpectedly() },
        { "aOneCharacterTail", movedTo(QString(), 1, QStringLiteral("。"), 1, otherPid),
            Error::changedUnexpectedly() },
        // "你" kept with "好" of the text that followed the caret.
        { "aCutHeadWithTheFollowingText", movedTo(QStringLiteral("好。"), 2, QStringLiteral("。"), 1, otherPid),
            Error::changedUnexpectedly() },
        { "nothingShownAndATail", movedTo(QString(), 0, QStringLiteral("好。"), 2, otherPid), Error::unshown() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus_->focus(c.field);
        EXPECT_EQ(insert(text), c.expected);
    }
}

TEST(ToolkitTextUnitsTest, ConvertsOffsetsAroundSurrogatePairs)
{
    const ToolkitTextUnits qt = ToolkitTextUnits::forToolkit(QStringLiteral(" QT "));
    const ToolkitTextUnits gtk = ToolkitTextUnits::forToolkit(QStringLiteral("GAIL"));
    const QString text = QStringLiteral("a🎉b世");
    struct Case {
        const ToolkitTextUnits& units;
        int offset;
        qsizetype index;
    };
    const Case toIndex[] = {
        { qt, 0, 0 },
        { qt, 1, 1 },
        { qt, 2, 1 },
        { qt, 3, 3 },
        { qt, 5, 5 },
        { qt, 9, 5 },
        { qt, -1, 0 },
        { gtk, 0, 0 },
        { gtk, 1, 1 },
        { gtk, 2, 3 },
        { gtk, 3, 4 },
        { gtk, 4, 5 },
        { gtk, 9, 5 },
    };
    for (const Case& c : toIndex)
        EXPECT_EQ(c.units.indexOf(text, c.offset), c.index) << (&c.units == &qt ? "Qt " : "GTK ") << c.offset;
    const Case toOffset[] = {
        { qt, 3, 3 },
        { qt, 5, 5 },
        { gtk, 1, 1 },
        { gtk, 2, 3 },
        { gtk, 3, 4 },
        { gtk, 4, 5 },
        { gtk, 4, 99 },
    };
    for (const Case& c : toOffset)
        EXPECT_EQ(c.units.offsetOf(text, c.index), c.offset) << (&c.units == &qt ? "Qt " : "GTK ") << c.index;
}

TEST(InsertionPreferencesTest, ReadsPreferKeyboardOverAXAtEveryCall)
{
    auto defaults = std::make_shared<UserDefaults>(QDir(testHome()).filePath(QStringLiteral("prefs.ini")));
    const auto prefer = InsertionPreferences::preferKeyboardOverAX(defaults);
    EXPECT_FALSE(prefer());
    ASSERT_TRUE(defaults->setBool(QStringLiteral("preferKeyboardOverAX"), true));
    EXPECT_TRUE(prefer());
    EXPECT_FALSE(InsertionPreferences::preferKeyboardOverAX(nullptr)());
}

} // namespace
} // namespace vellamor::test
