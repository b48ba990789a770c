#include "ErrorOf.h"
#include "FakeAccessibilityBus.h"
#include "FakeKeyInjector.h"
#include "FakePasteboard.h"
#include "QtPrinters.h"
#include "RecordingInsertionSleep.h"
#include "RecordingSystemLog.h"

#include "Support/Async/RunBlocking.h"
#include "TextInsertion/DefaultAccessibilityProbe.h"
#include "TextInsertion/Inserters/AccessibilityInserter.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/ClipboardInserterError.h"
#include "TextInsertion/LayeredInserter.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using Field = FakeAccessibilityBus::Field;
using platform::PasteboardSelection;

// Keys typed or pasted into the focused field land at its end, whatever the
// field does with accessibility edits.
class TypingLayer final : public AnyInserter {
public:
    explicit TypingLayer(std::shared_ptr<FakeAccessibilityBus> bus) : bus_(std::move(bus)) {}

    QCoro::Task<void> insert(QString text) override
    {
        bus_->field().text += text;
        co_return;
    }

private:
    std::shared_ptr<FakeAccessibilityBus> bus_;
};

// Fields seen in real applications. Whatever the field does, the text never
// arrives twice, and a failed layer says why in the log.
TEST(InsertionHardeningTest, FieldsThatMisreportTheirEditsNeverGetTheTextTwice)
{
    struct Case {
        const char* name;
        Field field;
        InsertStrategy strategy;
        QString textAfter;
        QString clipboard;
        QStringList log;
    };
    const Case cases[] = {
        { "countsUtf16WhileReportingGtk",
            { .toolkit = QStringLiteral("gtk"), .text = QStringLiteral("a🎉b"), .caret = 3, .utf16Offsets = true },
            InsertStrategy::ax, QStringLiteral("a🎉文🎉b"), QStringLiteral("earlier"), {} },
        { "acceptsEveryEditAndChangesNothing",
            { .toolkit = QStringLiteral("GTK"),
                .text = QStringLiteral("ab"),
                .caret = 1,
                .reformat = [](const QString&) { return QStringLiteral("ab"); } },
            InsertStrategy::allFailed, QStringLiteral("ab"), QStringLiteral("文🎉"),
            { QStringLiteral("layer ax failed: unshown") } },
        { "changesTheTextOtherwise",
            { .text = QStringLiteral("ab"),
                .caret = 1,
                .reformat = [](QString t) { return t.remove(QStringLiteral("🎉")); } },
            InsertStrategy::allFailed, QStringLiteral("a文b"), QStringLiteral("文🎉"),
            { QStringLiteral("layer ax failed: changedUnexpectedly") } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bus = std::make_shared<FakeAccessibilityBus>();
        bus->focus(c.field);
        auto pasteboard = std::make_shared<FakePasteboard>();
        pasteboard->hold(
            PasteboardSelection::clipboard, { { QStringLiteral("text/plain"), QByteArrayLiteral("earlier") } });
        auto systemLog = std::make_shared<RecordingSystemLog>();
        const auto trusted = [] { return true; };
        const auto preferKeyboard = [] { return false; };
        RecordingInsertionSleep sleep(bus->clock());
        const LayeredInserter inserter(
            std::make_shared<AccessibilityInserter>(
                bus, trusted, preferKeyboard, 1000, sleep.sleep(), sleep.steadyClock()),
            std::make_shared<TypingLayer>(bus), std::make_shared<TypingLayer>(bus),
            std::make_shared<DefaultAccessibilityProbe>(
                bus, std::make_shared<FakeKeyInjector>(), trusted, preferKeyboard, 1000),
            pasteboard, std::make_shared<InsertionQueue>(),
            VellamorLog(QStringLiteral("s"), QStringLiteral("insertion"), systemLog, nullptr));

        EXPECT_EQ(runBlocking(inserter.insertLayered(QStringLiteral("文🎉"))), c.strategy);
        EXPECT_EQ(bus->field().text, c.textAfter);
        EXPECT_EQ(pasteboard->text(PasteboardSelection::clipboard), c.clipboard);
        QStringList logged;
        for (const auto& entry : systemLog->entries())
            logged << entry.publicPart;
        EXPECT_EQ(logged, c.log);
    }
}

// Keys that the field does not take: a read-only view that swallows them.
class DeafLayer final : public AnyInserter {
public:
    QCoro::Task<void> insert(QString) override { co_return; }
};

// The real accessibility layer and probe over the fake bus, keys and paste
// that land at the field's end, and the fake bus's virtual time for every
// wait and limit.
struct Chain {
    explicit Chain(Field field, std::shared_ptr<AnyInserter> keys = nullptr)
    {
        bus->focus(std::move(field));
        pasteboard->hold(
            PasteboardSelection::clipboard, { { QStringLiteral("text/plain"), QByteArrayLiteral("earlier") } });
        const auto trusted = [] { return true; };
        const auto preferKeyboard = [] { return false; };
        if (!keys)
            keys = std::make_shared<TypingLayer>(bus);
        inserter.emplace(std::make_shared<AccessibilityInserter>(
                             bus, trusted, preferKeyboard, 1000, sleep.sleep(), sleep.steadyClock()),
            keys, keys,
            std::make_shared<DefaultAccessibilityProbe>(
                bus, std::make_shared<FakeKeyInjector>(), trusted, preferKeyboard, 1000),
            pasteboard, std::make_shared<InsertionQueue>(),
            VellamorLog(QStringLiteral("s"), QStringLiteral("insertion"), nullptr, nullptr), sleep.sleep(),
            sleep.steadyClock());
    }

    InsertStrategy insert(const QString& text) { return runBlocking(inserter->insertLayered(text)); }

    std::shared_ptr<FakeAccessibilityBus> bus = std::make_shared<FakeAccessibilityBus>();
    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    RecordingInsertionSleep sleep { bus->clock() };
    std::optional<LayeredInserter> inserter;
};

// A write the field accepted may show late, or never (Firefox): no layer
// types it over; the text waits on the clipboard, and an application that
// never showed an accepted write gets keys from then on, at once.
TEST(InsertionHardeningTest, AWriteTheFieldAcceptedIsNeverTypedOver)
{
    const Field gtk { .toolkit = QStringLiteral("GTK"), .text = QStringLiteral("ab"), .caret = 2 };
    struct Case {
        const char* name;
        Field field;
        InsertStrategy strategy;
        QString clipboard;
    };
    const Case cases[] = {
        { "shownWithinTheReadBack", with(gtk, &Field::showsWritesAfter, 1'500ms), InsertStrategy::ax,
            QStringLiteral("earlier") },
        { "shownThreeSecondsLate", with(gtk, &Field::showsWritesAfter, 3'000ms), InsertStrategy::ax,
            QStringLiteral("earlier") },
        { "shownAfterIt", with(gtk, &Field::showsWritesAfter, AccessibilityInserter::readBackLimit + 1s),
            InsertStrategy::allFailed, QStringLiteral("文") },
        { "neverShown", with(gtk, &Field::neverShowsWrites, true), InsertStrategy::allFailed, QStringLiteral("文") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Chain chain(c.field);
        EXPECT_EQ(chain.insert(QStringLiteral("文")), c.strategy);
        EXPECT_EQ(chain.pasteboard->text(PasteboardSelection::clipboard), c.clipboard);
        chain.bus->clock()->now += 10s;
        const QString shown = c.field.neverShowsWrites ? QStringLiteral("ab") : QStringLiteral("ab文");
        EXPECT_EQ(chain.bus->field().text, shown);

        // The next text: keys at once where the last write never showed.
        const auto start = chain.bus->clock()->now;
        const bool unshown = c.strategy == InsertStrategy::allFailed;
        EXPECT_EQ(chain.insert(QStringLiteral("字")), unshown ? InsertStrategy::keyboard : InsertStrategy::ax);
        EXPECT_EQ(chain.bus->field().text, shown + QStringLiteral("字"));
        EXPECT_EQ(chain.bus->writes().size(), unshown ? 1 : 2);
        EXPECT_LT(chain.bus->clock()->now - start, AccessibilityInserter::readBackLimit);
    }
}

// A write that never shows, answered or not, is no insertion because the
// dictated text stands in the field already.
TEST(InsertionHardeningTest, AWriteThatNeverShowedIsNotCreditedWithTextAlreadyThere)
{
    const Field letter { .toolkit = QStringLiteral("GTK"), .text = QStringLiteral("Dear Ann, thanks"), .caret = 16 };
    for (const auto& field : { with(letter, &Field::neverShowsWrites, true),
             with(letter, &Field::insertStatus, platform::AccessibilityBus::unanswered) }) {
        Chain chain(field);
        EXPECT_EQ(chain.insert(QStringLiteral("thanks")), InsertStrategy::allFailed);
        EXPECT_EQ(chain.pasteboard->text(PasteboardSelection::clipboard), QStringLiteral("thanks"));
        EXPECT_EQ(chain.bus->field().text, QStringLiteral("Dear Ann, thanks"));
    }
}

// Every call to a busy application takes 300 ms: the read-backs' limits are
// deadlines that count those calls, so a slow target is read a few times
// within the limit, not for the limit's worth of pauses.
TEST(InsertionHardeningTest, EveryLimitCountsTheTimeTheBusCallsTake)
{
    constexpr auto call = 300ms;
    const Field field { .toolkit = QStringLiteral("GTK"), .text = QStringLiteral("ab"), .caret = 2 };
    struct Case {
        const char* name;
        Field field;
        std::shared_ptr<AnyInserter> keys;
        InsertStrategy strategy;
        std::chrono::milliseconds limit;
    };
    const Case cases[] = {
        { "acceptedWriteUnshown", with(field, &Field::neverShowsWrites, true), nullptr, InsertStrategy::allFailed,
            AccessibilityInserter::readBackLimit },
        { "unansweredWriteUnshown", with(with(field, &Field::neverShowsWrites, true), &Field::answersLate, true),
            nullptr, InsertStrategy::allFailed, 2 * AccessibilityInserter::readBackLimit },
        { "keysUnseen", with(field, &Field::editable, false), std::make_shared<DeafLayer>(), InsertStrategy::allFailed,
            2'000ms },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Chain chain(c.field, c.keys);
        chain.bus->setCallDuration(call);
        EXPECT_EQ(chain.insert(QStringLiteral("文")), c.strategy);
        // A read is a text call (with the focus and the count for the keys'
        // read-back); each limit allows a few of them, and one past it.
        const auto reads = chain.bus->calls().count(QStringLiteral("text"));
        EXPECT_LE(reads, c.limit / call + 4);
        EXPECT_GE(reads, 2);
    }
}

// The paste is told as soon as the target has fetched the text; the earlier
// contents come back later on their own. PRIMARY, which GTK views answer by
// dropping their selection, is lent only for the chord that pastes it.
TEST(InsertionHardeningTest, PasteIsToldOnceTheTargetFetchedItAndGivesTheClipboardBackLater)
{
    struct Case {
        QStringList windowClass;
        bool targetFetches;
        QString primaryAtTap;
        // The hotkey monitor's 20 ms settle included.
        std::chrono::milliseconds toldAfterTap;
    };
    const ClipboardInserter::Pacing pacing;
    const Case cases[] = {
        { {}, true, QStringLiteral("selected"), 20ms },
        { { QStringLiteral("xterm") }, true, QStringLiteral("pasted"), 20ms },
        { {}, false, QStringLiteral("selected"), pacing.fetchLimit + 20ms },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.windowClass.join(u' ').toStdString() + (c.targetFetches ? " fetching" : " silent"));
        RecordingInsertionSleep sleep;
        auto pasteboard = std::make_shared<FakePasteboard>(sleep.clock());
        pasteboard->hold(
            PasteboardSelection::clipboard, { { QStringLiteral("text/plain"), QByteArrayLiteral("earlier") } });
        pasteboard->hold(
            PasteboardSelection::primary, { { QStringLiteral("text/plain"), QByteArrayLiteral("selected") } });
        auto injector = std::make_shared<FakeKeyInjector>(sleep.clock());
        injector->windowClass = c.windowClass;
        const auto pasted = c.windowClass.isEmpty() ? PasteboardSelection::clipboard : PasteboardSelection::primary;
        std::optional<QString> primary;
        injector->onTap = [&](const FakeKeyInjector::Tap&) {
            primary = pasteboard->served(PasteboardSelection::primary, FakePasteboard::Client::target);
            if (c.targetFetches)
                pasteboard->fetch(pasted);
        };
        ClipboardInserter clipboard(pasteboard, injector, nullptr, sleep.sleep());

        // A target that never asks may still paste: the text stays for it.
        if (c.targetFetches) {
            EXPECT_NO_THROW(runBlocking(clipboard.insert(QStringLiteral("pasted"))));
        } else {
            EXPECT_EQ(errorOf<ClipboardInserterError>(clipboard.insert(QStringLiteral("pasted"))),
                ClipboardInserterError::notFetched());
        }
        EXPECT_EQ(primary, c.primaryAtTap);
        EXPECT_EQ(sleep.clock()->now - injector->taps().at(0).at, c.toldAfterTap);
        pasteboard->runFor(20s);
        EXPECT_EQ(pasteboard->text(PasteboardSelection::clipboard),
            c.targetFetches ? QStringLiteral("earlier") : QStringLiteral("pasted"));
        EXPECT_EQ(pasteboard->text(PasteboardSelection::primary), QStringLiteral("selected"));
    }
}

} // namespace
} // namespace vellamor::test
