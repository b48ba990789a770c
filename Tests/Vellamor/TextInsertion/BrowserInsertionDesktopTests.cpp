#include "BrowserPage.h"
#include "DesktopTest.h"
#include "QtPrinters.h"
#include "TextTarget.h"

#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/Pasteboard/QtPasteboard.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/SystemLayeredInserter.h"

#include <QCoreApplication>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Field = BrowserPage::Field;

const QString earlierText = u"earlier 文本"_s;

// Texts that need keys mapped for a while: Chinese, emoji (beyond 16 bits,
// with a skin tone), and more distinct characters than one keymap batch holds.
const QString samples[] = {
    u"今天下午三点我们在会议室讨论新版本发布"_s,
    u"好的👍🏽 明天见🎉😀"_s,
    u"Mixed 中文 text, Ünïcödé ✓ 🎉 and 二十个不同的汉字在这里一起出现! OK"_s,
};

QString clipboardText()
{
    return QString::fromUtf8(
        outputOf(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, u"UTF8_STRING"_s}).value_or("?"));
}

using BrowserInsertionDesktopTest = DesktopTest;

// One case, so the browser starts once. Every sample into every field through
// each layer: exactly the text, the clipboard as it was.
TEST_F(BrowserInsertionDesktopTest, ChineseEmojiAndMixedTextArriveWholeInEveryField)
{
    TextTarget owner(QStringLiteral(VELLAMOR_QT_TEXT_TARGET), {u"owner"_s, earlierText, u"<b>x</b>"_s});
    ASSERT_TRUE(owner.isReady());
    BrowserPage page(QStringLiteral(VELLAMOR_BROWSER_PAGE));
    ASSERT_TRUE(page.isStarted()) << "chromium did not show the page";
    const qint64 ownPid = QCoreApplication::applicationPid();
    const auto injector = std::make_shared<platform::XTestKeyInjector>();
    const auto pasteboard = std::make_shared<platform::QtPasteboard>();
    using Insert = std::function<void(const QString&)>;
    // Each layer's inserters end with its round: keys a keystroke layer left
    // mapped are no spare keys for the next one.
    const std::pair<const char*, std::function<Insert()>> layers[] = {
        {"keystrokes",
         [&]() -> Insert {
             auto keyboard = std::make_shared<KeystrokeInserter>(injector, nullptr);
             return [keyboard](const QString& text) { EXPECT_NO_THROW(runBlocking(keyboard->insert(text), 30s)); };
         }},
        {"paste",
         [&]() -> Insert {
             auto clipboard = std::make_shared<ClipboardInserter>(pasteboard, injector, nullptr);
             return [clipboard](const QString& text) { EXPECT_NO_THROW(runBlocking(clipboard->insert(text))); };
         }},
        // The browser shows its fields on the accessibility bus only for
        // assistive technology it recognises: the chain gets the window alone.
        {"chain",
         [&]() -> Insert {
             const LayeredInserter chain = SystemLayeredInserter::make(
                 std::make_shared<platform::AtspiAccessibilityBus>(ownPid), injector, pasteboard,
                 [] { return true; }, nullptr, UserDefaults::standard());
             return [chain](const QString& text) {
                 EXPECT_EQ(runBlocking(chain.insertLayered(text), 30s), InsertStrategy::keyboard);
             };
         }},
    };
    for (const auto& [layer, makeInsert] : layers) {
        const Insert insert = makeInsert();
        for (const Field field : {Field::textarea, Field::input, Field::editable}) {
            for (const QString& sample : samples) {
                SCOPED_TRACE(std::string(layer) + ' ' + std::to_string(static_cast<int>(field)));
                ASSERT_TRUE(page.focus(field));
                insert(sample);
                EXPECT_EQ(page.waitForText(sample), sample);
                EXPECT_EQ(clipboardText(), earlierText);
            }
        }
    }
}

} // namespace
} // namespace vellamor::test
