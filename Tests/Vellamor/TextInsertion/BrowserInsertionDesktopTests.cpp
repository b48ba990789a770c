#include "BrowserPage.h"
#include "QtPrinters.h"
#include "TextTarget.h"

#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/Pasteboard/X11SelectionBroker.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/SystemLayeredInserter.h"

#include <QCoreApplication>

#include <gmock/gmock.h>

namespace vellamor::test
{
namespace
{

using namespace std::chrono_literals;
using Field = BrowserPage::Field;

// Texts that need keys mapped for a while: Chinese, emoji (beyond 16 bits,
// with a skin tone), and more distinct characters than one keymap batch holds.
const QString samples[]
    = { QStringLiteral("今天下午三点我们在会议室讨论新版本发布"), QStringLiteral("好的👍🏽 明天见🎉😀"),
          QStringLiteral("Mixed 中文 text, Ünïcödé ✓ 🎉 and 二十个不同的汉字在这里一起出现! OK") };

using BrowserInsertionDesktopTest = DesktopTest;

// One case, so the browser starts once. Every sample into every field through
// each layer: exactly the text, the clipboard as it was.
TEST_F(BrowserInsertionDesktopTest, ChineseEmojiAndMixedTextArriveWholeInEveryField)
{
    const QString earlierText = QStringLiteral("earlier 文本");
    TextTarget owner(
        QStringLiteral(VELLAMOR_QT_TEXT_TARGET), { QStringLiteral("owner"), earlierText, QStringLiteral("<b>x</b>") });
    ASSERT_TRUE(owner.isReady());
    BrowserPage page(QStringLiteral(VELLAMOR_BROWSER_PAGE));
    ASSERT_TRUE(page.isStarted()) << "chromium did not show the page";
    const auto injector = std::make_shared<platform::XTestKeyInjector>();
    const auto pasteboard = std::make_shared<platform::X11SelectionBroker>(shortLoans());
    for (const std::string layer : { "keystrokes", "paste", "chain" }) {
        // Fresh for each layer: keys a keystroke layer left mapped are no spare keys for the next one.
        KeystrokeInserter keyboard(injector, nullptr);
        ClipboardInserter clipboard(pasteboard, injector, nullptr);
        const LayeredInserter chain = SystemLayeredInserter::make(
            std::make_shared<platform::AtspiAccessibilityBus>(QCoreApplication::applicationPid()), injector, pasteboard,
            [] { return true; }, nullptr, UserDefaults::standard());
        for (const Field field : { Field::textarea, Field::input, Field::editable }) {
            for (const QString& sample : samples) {
                SCOPED_TRACE(layer + ' ' + std::to_string(static_cast<int>(field)));
                ASSERT_TRUE(page.focus(field));
                if (layer == "keystrokes") {
                    EXPECT_NO_THROW(runBlocking(keyboard.insert(sample), 30s));
                } else if (layer == "paste") {
                    EXPECT_NO_THROW(runBlocking(clipboard.insert(sample)));
                } else { // Chromium shows its fields on the bus only to assistive technology it knows.
                    EXPECT_EQ(runBlocking(chain.insertLayered(sample), 30s), InsertStrategy::keyboard);
                }
                EXPECT_EQ(page.waitForText(sample), sample);
                EXPECT_EVENTUALLY_EQ(QString::fromUtf8(clipboardContent("clipboard", "UTF8_STRING")), earlierText);
            }
        }
    }

    // Typed, 50 kB would take minutes and lose characters: it is pasted, once.
    const QString longText = QString(samples[2]).repeated(50'000 / samples[2].size());
    const LayeredInserter chain = SystemLayeredInserter::make(
        std::make_shared<platform::AtspiAccessibilityBus>(QCoreApplication::applicationPid()), injector, pasteboard,
        [] { return true; }, nullptr, UserDefaults::standard());
    ASSERT_TRUE(page.focus(Field::textarea));
    EXPECT_EQ(runBlocking(chain.insertLayered(longText), 30s), InsertStrategy::clipboard);
    EXPECT_EQ(page.waitForText(longText), longText);
}

// With its fields on the bus, a read-only textarea takes the paste chord of a
// long text and shows nothing, and a field plus text past the bus's limit is
// not read back: it says it is read-only, so the text stays on the clipboard
// instead of being reported as inserted. An editable one gets it once, the
// clipboard as it was.
TEST_F(BrowserInsertionDesktopTest, ALongTextSwallowedByAReadOnlyFieldStaysOnTheClipboard)
{
    const QString earlierText = QStringLiteral("earlier 文本");
    TextTarget owner(
        QStringLiteral(VELLAMOR_QT_TEXT_TARGET), { QStringLiteral("owner"), earlierText, QStringLiteral("<b>x</b>") });
    ASSERT_TRUE(owner.isReady());
    BrowserPage page(QStringLiteral(VELLAMOR_BROWSER_PAGE), BrowserPage::Accessibility::forced);
    ASSERT_TRUE(page.isStarted()) << "chromium did not show the page";
    const LayeredInserter chain = SystemLayeredInserter::make(
        std::make_shared<platform::AtspiAccessibilityBus>(QCoreApplication::applicationPid()),
        std::make_shared<platform::XTestKeyInjector>(), std::make_shared<platform::X11SelectionBroker>(shortLoans()),
        [] { return true; },
        nullptr, UserDefaults::standard());
    const QString sentence = QStringLiteral("今天下午三点 we meet in 会议室 to discuss 新版本发布, OK? ");
    const QString text = sentence.repeated(35).left(1500);
    // With the field's two characters, one past what the bus reads.
    const QString pastTheLimit = sentence.repeated(250).left(accessibleTextLimit - 1);

    const struct {
        Field field;
        QString text;
        FocusTarget target;
        bool leftOnClipboard;
        QString shown;
        QString clipboard;
    } cases[] = {
        // the editable one first: the read-only one leaves the text on the clipboard
        { Field::textarea, text, FocusTarget::element, false, text, earlierText },
        { Field::readOnly, text, FocusTarget::readOnlyElement, true, BrowserPage::readOnlyText(), text },
        { Field::readOnly, pastTheLimit, FocusTarget::readOnlyElement, true, BrowserPage::readOnlyText(),
            pastTheLimit },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.field));
        SCOPED_TRACE(c.text.size());
        ASSERT_TRUE(page.focus(c.field));
        ASSERT_EQ(runBlocking(chain.probe()->focusTarget()), c.target);
        const InsertStrategy outcome = runBlocking(chain.insertLayered(c.text), 30s);
        EXPECT_EQ(outcome == InsertStrategy::allFailed, c.leftOnClipboard) << rawValue(outcome).toStdString();
        EXPECT_NE(outcome, InsertStrategy::noTarget);
        EXPECT_EQ(page.waitForText(c.shown), c.shown);
        // Compared whole, once the loan is over: a failure would print ten thousand characters.
        EXPECT_TRUE(waitUntil([&] { return clipboardContent("clipboard", "UTF8_STRING") == c.clipboard.toUtf8(); }))
            << "the clipboard does not hold " << c.clipboard.left(20).toStdString() << "…";
    }
}

// A busy browser read the first key typed on a new mapping with its old
// keymap and dropped it ("你好，世界" arrived as "好，世界"). Each text starts
// with a character no key holds yet; run it under load.
TEST_F(BrowserInsertionDesktopTest, TheFirstCharacterOnANewMappingArrivesEveryTime)
{
    BrowserPage page(QStringLiteral(VELLAMOR_BROWSER_PAGE));
    ASSERT_TRUE(page.isStarted()) << "chromium did not show the page";
    const auto injector = std::make_shared<platform::XTestKeyInjector>();
    KeystrokeInserter keyboard(injector, nullptr);
    for (char32_t first = U'一'; first < U'一' + 12 * 37; first += 37) {
        const QString text = QString::fromUcs4(&first, 1) + QStringLiteral("好，世界");
        SCOPED_TRACE(text.toStdString());
        ASSERT_TRUE(page.focus(Field::textarea));
        EXPECT_NO_THROW(runBlocking(keyboard.insert(text), 30s));
        EXPECT_EQ(page.waitForText(text), text);
    }
}

} // namespace
} // namespace vellamor::test
