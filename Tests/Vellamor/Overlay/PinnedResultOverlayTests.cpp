#include "FakePasteboard.h"
#include "OverlayRendering.h"
#include "QtPrinters.h"

#include "Overlay/OverlayTheme.h"
#include "Overlay/PinnedResultOverlay.h"
#include "Overlay/PinnedTextActionButton.h"


#include <gmock/gmock.h>

#include <array>
#include <memory>

namespace vellamor::test {
namespace {

// Each shown action button as its title, with "*" for the prominent one.
QStringList shownButtons(QWidget& card)
{
    QStringList titles;
    for (auto* button : shownInReadingOrder<PinnedTextActionButton>(card))
        titles.append(button->text() + (button->isProminent() ? QStringLiteral("*") : QString()));
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
            finalText, polishedText, leftOnClipboard, pasteboard_,
            [this](const QString& text) { inserted_.append(text); }, [this] { ++closes_; });
        card->resize(380, 180);
        card->show();
        settleWidgets();
        return card;
    }

    std::shared_ptr<FakePasteboard> pasteboard_ = std::make_shared<FakePasteboard>();
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
    const QString heard = QStringLiteral("明天下午三点开会");
    const QString polished = QStringLiteral("明天下午三点开会。");
    const std::array cases {
        Case { "final-only", heard, {}, { QStringLiteral("已插入"), QStringLiteral("原文"), heard },
            { QStringLiteral("复制"), QStringLiteral("插入") } },
        Case { "final-and-polished", heard, polished,
            { QStringLiteral("已插入"), QStringLiteral("原文"), heard, QStringLiteral("润色"), polished },
            { QStringLiteral("复制"), QStringLiteral("插入"), QStringLiteral("复制"), QStringLiteral("插入*") } },
        Case { "polished-only", {}, polished, { QStringLiteral("已插入"), QStringLiteral("润色"), polished },
            { QStringLiteral("复制"), QStringLiteral("插入*") } },
        Case { "empty", {}, {}, { QStringLiteral("已插入") }, {} },
        Case { "left-on-clipboard", {}, polished,
            { QStringLiteral("已复制到剪贴板"), QStringLiteral("润色"), polished },
            { QStringLiteral("复制"), QStringLiteral("插入*") }, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto card = makeCard(c.finalText, c.polished, c.leftOnClipboard);
        renderView(*card, QStringLiteral("pinned-") + QLatin1String(c.name));
        EXPECT_EQ(shownTexts(*card), c.texts);
        EXPECT_EQ(shownInReadingOrder<OverlayLabel>(*card).front()->color(),
                  c.leftOnClipboard ? OverlayTheme::warn() : OverlayTheme::success());
        EXPECT_EQ(shownButtons(*card), c.buttons);
        EXPECT_EQ(shownControlTips(*card).first(), QStringLiteral("关闭固定提示"));
    }
}

TEST_F(PinnedResultOverlayTest, CopyPutsPlainTextAloneOnTheClipboardAndNothingClosesTheCardButClose)
{
    auto card = makeCard(QStringLiteral("原来的话"), QStringLiteral("润色后的话"));
    pasteboard_->hold(platform::PasteboardSelection::clipboard,
        { { QStringLiteral("text/html"), QByteArrayLiteral("<b>old</b>") },
            { QStringLiteral("text/plain"), QByteArrayLiteral("old") } });

    ASSERT_NE(shownButton(*card, 2), nullptr);
    shownButton(*card, 2)->click();
    const std::vector<PasteboardEntry> copied { { QStringLiteral("text/plain"), QStringLiteral("润色后的话").toUtf8() } };
    EXPECT_EQ(pasteboard_->contents(platform::PasteboardSelection::clipboard), copied);

    shownButton(*card, 1)->click();
    shownButton(*card, 1)->click();
    shownButton(*card, 3)->click();
    EXPECT_EQ(inserted_,
        (QStringList { QStringLiteral("原来的话"), QStringLiteral("原来的话"), QStringLiteral("润色后的话") }));
    EXPECT_EQ(pasteboard_->text(platform::PasteboardSelection::clipboard), QStringLiteral("润色后的话"));
    EXPECT_TRUE(card->isVisible());
    EXPECT_EQ(closes_, 0);

    auto buttons = card->findChildren<OverlayButton*>();
    for (OverlayButton* button : buttons) {
        if (button->toolTip() == QStringLiteral("关闭固定提示"))
            button->click();
    }
    EXPECT_EQ(closes_, 1);
}

} // namespace
} // namespace vellamor::test
