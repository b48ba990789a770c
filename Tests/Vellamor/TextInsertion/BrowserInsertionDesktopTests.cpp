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

struct Sample {
    const char* name;
    QString text;
};

// Texts that need keys mapped for a while: Chinese, emoji (beyond 16 bits,
// with a skin tone), and more distinct characters than one keymap batch holds.
const Sample samples[] = {
    {"chinese", u"今天下午三点我们在会议室讨论新版本发布"_s},
    {"emoji", u"好的👍🏽 明天见🎉😀"_s},
    {"mixed", u"Mixed 中文 text, Ünïcödé ✓ 🎉 and 二十个不同的汉字在这里一起出现! OK"_s},
};

const std::pair<const char*, Field> fields[] = {
    {"textarea", Field::textarea},
    {"input", Field::input},
    {"contenteditable", Field::editable},
};

QString clipboardText()
{
    return QString::fromUtf8(
        outputOf(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, u"UTF8_STRING"_s}).value_or("?"));
}

// One browser for the whole suite: starting it is the costly part.
class BrowserInsertionDesktopTest : public DesktopTest {
protected:
    static void SetUpTestSuite()
    {
        owner_ = new TextTarget(QStringLiteral(VELLAMOR_QT_TEXT_TARGET), {u"owner"_s, earlierText, u"<b>x</b>"_s});
        page_ = new BrowserPage(QStringLiteral(VELLAMOR_BROWSER_PAGE));
    }

    static void TearDownTestSuite()
    {
        delete page_;
        delete owner_;
    }

    void SetUp() override
    {
        DesktopTest::SetUp();
        ASSERT_TRUE(owner_->isReady());
        ASSERT_TRUE(page_->isStarted()) << "chromium did not show the page";
    }

    // Every sample into every field: exactly the text, the clipboard as it was.
    void expectEveryTextArrives(const std::function<void(const QString&)>& insert)
    {
        for (const auto& [fieldName, field] : fields) {
            for (const Sample& sample : samples) {
                SCOPED_TRACE(std::string(fieldName) + ' ' + sample.name);
                ASSERT_TRUE(page_->focus(field));
                insert(sample.text);
                EXPECT_EQ(page_->waitForText(sample.text), sample.text);
                EXPECT_EQ(clipboardText(), earlierText);
            }
        }
    }

    static TextTarget* owner_;
    static BrowserPage* page_;
    std::shared_ptr<platform::XTestKeyInjector> injector_ = std::make_shared<platform::XTestKeyInjector>();
};

TextTarget* BrowserInsertionDesktopTest::owner_ = nullptr;
BrowserPage* BrowserInsertionDesktopTest::page_ = nullptr;

TEST_F(BrowserInsertionDesktopTest, KeystrokesArriveWhole)
{
    KeystrokeInserter keyboard(injector_, nullptr);
    expectEveryTextArrives([&](const QString& text) { EXPECT_NO_THROW(runBlocking(keyboard.insert(text), 30s)); });
}

TEST_F(BrowserInsertionDesktopTest, PasteArrivesAndTheClipboardGoesBack)
{
    ClipboardInserter clipboard(std::make_shared<platform::QtPasteboard>(), injector_, nullptr);
    expectEveryTextArrives([&](const QString& text) { EXPECT_NO_THROW(runBlocking(clipboard.insert(text))); });
}

// The browser shows its fields on the accessibility bus only for assistive
// technology it recognises: the layered inserter gets the window alone.
TEST_F(BrowserInsertionDesktopTest, LayeredInsertionTypesIntoTheFocusedWindow)
{
    const qint64 ownPid = QCoreApplication::applicationPid();
    const LayeredInserter inserter = SystemLayeredInserter::make(
        std::make_shared<platform::AtspiAccessibilityBus>(ownPid), injector_,
        std::make_shared<platform::QtPasteboard>(), [] { return true; }, nullptr, UserDefaults::standard());
    expectEveryTextArrives(
        [&](const QString& text) { EXPECT_EQ(runBlocking(inserter.insertLayered(text), 30s), InsertStrategy::keyboard); });
}

} // namespace
} // namespace vellamor::test
