#include "OverlayRendering.h"
#include "QtPrinters.h"

#include "Overlay/OverlayTheme.h"
#include "Overlay/PinnedResultOverlay.h"
#include "Overlay/PinnedTextActionButton.h"
#include "Platform/Pasteboard/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <gmock/gmock.h>

#include <array>
#include <memory>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;

// Each shown action button as its title, with "*" for the prominent one.
QStringList shownButtons(QWidget& card)
{
    QStringList titles;
    for (auto* button : shownInReadingOrder<PinnedTextActionButton>(card))
        titles.append(button->text() + (button->isProminent() ? u"*"_s : QString()));
    return titles;
}

PinnedTextActionButton* shownButton(QWidget& card, int index)
{
    const auto buttons = shownInReadingOrder<PinnedTextActionButton>(card);
    return index < static_cast<int>(buttons.size()) ? buttons[static_cast<std::size_t>(index)] : nullptr;
}

class PinnedResultOverlayTest : public ::testing::Test {
protected:
    std::unique_ptr<PinnedResultOverlay> makeCard(const QString& finalText, const QString& polishedText,
                                                  bool leftOnClipboard = false)
    {
        auto card = std::make_unique<PinnedResultOverlay>(
            finalText, polishedText, leftOnClipboard, std::make_shared<platform::QtPasteboard>(),
            [this](const QString& text) { inserted_.append(text); }, [this] { ++closes_; });
        card->resize(380, 180);
        card->show();
        settleWidgets();
        return card;
    }

    QStringList inserted_;
    int closes_ = 0;
};

TEST_F(PinnedResultOverlayTest, ShowsARowPerTextWithOnlyThePolishedInsertProminent)
{
    struct Case {
        const char* name;
        QString finalText;
        QString polished;
        QStringList texts;
        QStringList buttons;
        bool leftOnClipboard = false;
    };
    const QString heard = u"明天下午三点开会"_s;
    const QString polished = u"明天下午三点开会。"_s;
    const std::array cases{
        Case{"final-only", heard, {}, {u"已插入"_s, u"原文"_s, heard}, {u"复制"_s, u"插入"_s}},
        Case{"final-and-polished",
             heard,
             polished,
             {u"已插入"_s, u"原文"_s, heard, u"润色"_s, polished},
             {u"复制"_s, u"插入"_s, u"复制"_s, u"插入*"_s}},
        Case{"polished-only", {}, polished, {u"已插入"_s, u"润色"_s, polished}, {u"复制"_s, u"插入*"_s}},
        Case{"empty", {}, {}, {u"已插入"_s}, {}},
        Case{"left-on-clipboard", {}, polished, {u"已复制到剪贴板"_s, u"润色"_s, polished}, {u"复制"_s, u"插入*"_s}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto card = makeCard(c.finalText, c.polished, c.leftOnClipboard);
        renderView(*card, QStringLiteral("pinned-") + QLatin1String(c.name));
        EXPECT_EQ(shownTexts(*card), c.texts);
        EXPECT_EQ(shownInReadingOrder<OverlayLabel>(*card).front()->color(),
                  c.leftOnClipboard ? OverlayTheme::warn() : OverlayTheme::success());
        EXPECT_EQ(shownButtons(*card), c.buttons);
        EXPECT_EQ(shownControlTips(*card).first(), u"关闭固定提示"_s);
    }
}

TEST_F(PinnedResultOverlayTest, CopyPutsPlainTextAloneOnTheClipboardAndNothingClosesTheCardButClose)
{
    auto card = makeCard(u"原来的话"_s, u"润色后的话"_s);
    auto* held = new QMimeData;
    held->setHtml(u"<b>旧内容</b>"_s);
    held->setText(u"旧内容"_s);
    QGuiApplication::clipboard()->setMimeData(held);

    ASSERT_NE(shownButton(*card, 2), nullptr);
    shownButton(*card, 2)->click();
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->formats(), QStringList{u"text/plain"_s});
    EXPECT_EQ(copied->text(), u"润色后的话"_s);

    shownButton(*card, 1)->click();
    shownButton(*card, 1)->click();
    shownButton(*card, 3)->click();
    EXPECT_EQ(inserted_, (QStringList{u"原来的话"_s, u"原来的话"_s, u"润色后的话"_s}));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"润色后的话"_s);
    EXPECT_TRUE(card->isVisible());
    EXPECT_EQ(closes_, 0);

    auto buttons = card->findChildren<OverlayButton*>();
    for (OverlayButton* button : buttons) {
        if (button->toolTip() == u"关闭固定提示"_s)
            button->click();
    }
    EXPECT_EQ(closes_, 1);
}

} // namespace
} // namespace vellamor::test
