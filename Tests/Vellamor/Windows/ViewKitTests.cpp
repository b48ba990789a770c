#include "LayoutSweep.h"
#include "WidgetRendering.h"

#include "SettingsWindow/IslandPreview.h"
#include "SettingsWindow/SettingsSection.h"
#include "Windows/CardGroup.h"
#include "Windows/InfoCard.h"
#include "Windows/InfoGrid.h"
#include "Windows/ProminentButton.h"
#include "Windows/RedrawBatch.h"
#include "Windows/Keycap.h"
#include "Windows/RowDivider.h"
#include "Windows/SavedToast.h"
#include "Windows/SectionHeader.h"
#include "Windows/SettingsRow.h"
#include "Windows/StatusPill.h"
#include "Windows/SymbolView.h"
#include "Windows/Symbols.h"
#include "Windows/WindowTheme.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;

QStringList texts(QWidget& widget)
{
    widget.adjustSize();
    return shownTexts(widget, standardText);
}

bool hasInk(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0)
                return true;
        }
    }
    return false;
}

TEST(ViewKitTest, OptionalLinesAppearOnlyWhenGivenAndCardTitlesAreUpperCase)
{
    SectionHeader bare(u"外观"_s);
    EXPECT_EQ(texts(bare), QStringList{u"外观"_s});
    SectionHeader full(u"外观"_s, u"主题与灵动岛位置"_s);
    EXPECT_EQ(texts(full), (QStringList{u"外观"_s, u"主题与灵动岛位置"_s}));

    CardGroup untitled;
    untitled.addWidget(new SettingsRow(u"语言"_s, std::nullopt, new QCheckBox));
    EXPECT_EQ(texts(untitled), QStringList{u"语言"_s});
    CardGroup titled(u"about this"_s);
    titled.addWidget(new SettingsRow(u"语言"_s, u"一段说明"_s, nullptr));
    titled.addWidget(new RowDivider);
    EXPECT_EQ(texts(titled), (QStringList{u"ABOUT THIS"_s, u"语言"_s, u"一段说明"_s}));
}

TEST(ViewKitTest, ALongRowExplanationWrapsInsteadOfBeingCut)
{
    const QString longText = QString(u"说明很长，"_s).repeated(30);
    SettingsRow row(u"标题"_s, longText, new QCheckBox);
    row.resize(400, row.heightForWidth(400));
    settleWidgets();
    const auto labels = shownInReadingOrder<QLabel>(row);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_TRUE(labels[1]->wordWrap());
    EXPECT_GT(row.heightForWidth(400), 3 * labels[0]->sizeHint().height());
}

TEST(ViewKitTest, APillShowsItsIconInsteadOfTheDot)
{
    StatusPill dotted(u"已连接"_s, PillTone::success);
    EXPECT_TRUE(dotted.findChildren<SymbolView*>().isEmpty());
    EXPECT_EQ(dotted.accessibleName(), u"已连接"_s);
    StatusPill withIcon(u"失败"_s, PillTone::danger, u"info.circle"_s);
    const auto symbols = withIcon.findChildren<SymbolView*>();
    ASSERT_EQ(symbols.size(), 1);
    EXPECT_EQ(symbols.first()->name(), u"info.circle"_s);
    // The dot is the pill's only other child besides the label.
    EXPECT_EQ(dotted.findChildren<QWidget*>().size(), withIcon.findChildren<QWidget*>().size());
}

TEST(ViewKitTest, GridValuesCanBeSelectedAndKeysAppearOnce)
{
    InfoGrid empty({});
    EXPECT_TRUE(texts(empty).isEmpty());
    InfoGrid grid({{u"版本"_s, u"1.4.0 (57)"_s}, {u"系统"_s, u"Debian 12"_s}, {u"版本"_s, u"2.0"_s}});
    EXPECT_EQ(texts(grid), (QStringList{u"版本"_s, u"1.4.0 (57)"_s, u"系统"_s, u"Debian 12"_s}));
    const auto labels = shownInReadingOrder<QLabel>(grid);
    EXPECT_FALSE(labels[0]->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_TRUE(labels[1]->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_EQ(labels[1]->accessibleName(), u"1.4.0 (57)"_s);
}

TEST(ViewKitTest, AHiddenToastKeepsItsPlaceButDrawsNothing)
{
    SavedToast toast;
    toast.resize(toast.sizeHint());
    EXPECT_EQ(toast.accessibleName(), u"已保存"_s);
    const auto drawn = [&toast] {
        QImage image(toast.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        toast.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    };
    EXPECT_FALSE(hasInk(drawn()));
    toast.setShown(true);
    EXPECT_EQ(toast.sizeHint(), toast.size());
    EXPECT_TRUE(hasInk(drawn()));
    renderView(toast, u"kit-saved-toast"_s);
}

TEST(ViewKitTest, EverySectionHasASymbolAndUnknownNamesDrawNothing)
{
    for (const SettingsSection section : allSettingsSections) {
        const QPixmap symbol = Symbols::pixmap(sidebarIcon(section), 16, Qt::black);
        ASSERT_FALSE(symbol.isNull()) << sidebarIcon(section).toStdString();
        EXPECT_TRUE(hasInk(symbol.toImage()));
    }
    EXPECT_TRUE(Symbols::pixmap(u"checkmark.circle.fill"_s, 12, Qt::green).toImage().pixelColor(6, 1).green() > 0);
    EXPECT_FALSE(Symbols::exists(u"no.such.symbol"_s));
    EXPECT_TRUE(Symbols::pixmap(u"no.such.symbol"_s, 16, Qt::black).isNull());
}

// Each component of the kit, light, for a reviewer.
// Fields deliver before they hold the new value: the redraw must come once,
// on the next turn, and see them all; a cancelled batch or a gone context
// draws nothing.
TEST(RedrawBatch, RedrawsOnceOnTheNextTurnWithEveryFieldHeld)
{
    enum class Stop { none, cancel, destroyContext };
    for (const Stop stop : {Stop::none, Stop::cancel, Stop::destroyContext}) {
        Published<int> first(0);
        Published<QString> second;
        auto context = std::make_unique<QObject>();
        std::vector<std::pair<int, QString>> seen;
        RedrawBatch batch(context.get(), [&] { seen.emplace_back(first.value(), second.value()); });
        batch.follow(first, second);
        QCoreApplication::processEvents();
        seen.clear();

        first = 1;
        second = u"b"_s;
        first = 2;
        EXPECT_TRUE(seen.empty()) << "nothing is drawn before the turn ends";
        if (stop == Stop::cancel)
            batch.cancel();
        if (stop == Stop::destroyContext)
            context.reset();
        QCoreApplication::processEvents();
        if (stop == Stop::none)
            EXPECT_EQ(seen, (std::vector<std::pair<int, QString>>{{2, u"b"_s}}));
        else
            EXPECT_TRUE(seen.empty()) << static_cast<int>(stop);
    }
}

TEST(ViewKitTest, Screenshots)
{
    std::vector<std::pair<QString, std::unique_ptr<QWidget>>> components;
    components.emplace_back(u"kit-section-header"_s, std::make_unique<SectionHeader>(u"外观"_s, u"主题与灵动岛位置"_s));
    auto card = std::make_unique<CardGroup>(u"主题"_s);
    card->addWidget(new SettingsRow(u"外观主题"_s, u"灵动岛始终使用深色背景，与系统菜单栏一致"_s, new QCheckBox));
    card->addWidget(new RowDivider);
    card->addWidget(new SettingsRow(u"说话转写后自动润色"_s, std::nullopt, new QCheckBox));
    components.emplace_back(u"kit-card-group"_s, std::move(card));
    auto pills = std::make_unique<QWidget>();
    auto* pillRow = new QHBoxLayout(pills.get());
    pillRow->addWidget(new StatusPill(u"未知"_s, PillTone::neutral));
    pillRow->addWidget(new StatusPill(u"同步中"_s, PillTone::info));
    pillRow->addWidget(new StatusPill(u"已授权"_s, PillTone::success, u"checkmark.circle.fill"_s));
    pillRow->addWidget(new StatusPill(u"待授权"_s, PillTone::warning));
    pillRow->addWidget(new StatusPill(u"被拒绝"_s, PillTone::danger));
    components.emplace_back(u"kit-status-pills"_s, std::move(pills));
    components.emplace_back(u"kit-info-card"_s,
                        std::make_unique<InfoCard>(u"info.circle"_s, u"提示"_s, u"说满 5 分钟时灵动岛会变黄提醒。"_s));
    components.emplace_back(u"kit-info-grid"_s,
                        std::make_unique<InfoGrid>(QList<QPair<QString, QString>>{{u"Vellamor 版本"_s, u"1.4.0 (57)"_s},
                                                                                   {u"系统"_s, u"Debian 12"_s}}));
    auto keys = std::make_unique<QWidget>();
    auto* keyRow = new QHBoxLayout(keys.get());
    for (const QString& cap : {u"⌃"_s, u"⇧"_s, u"Space"_s})
        keyRow->addWidget(new Keycap(cap));
    components.emplace_back(u"kit-keycaps"_s, std::move(keys));
    components.emplace_back(u"kit-island-preview"_s, std::make_unique<IslandPreview>());
    for (auto& [name, widget] : components) {
        widget->resize(std::max(widget->sizeHint().width(), 420), widget->sizeHint().height());
        widget->setAutoFillBackground(true);
        EXPECT_TRUE(hasInk(renderView(*widget, name))) << name.toStdString();
    }
}

// White on a prominent button reads at 4.5:1 or better whatever its tint.
TEST(ProminentButton, ItsWhiteTextReadsOnEveryTint)
{
    const auto luminance = [](QRgb rgb) {
        const auto channel = [](int c) {
            const double v = c / 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
    };
    const std::pair<const char*, ProminentButton::Tint> tints[] = {
        {"blue", &WindowTheme::blue}, {"green", &WindowTheme::green}, {"accent", &WindowTheme::accent},
        {"light blue", [] { return QColor(0x8f, 0xc5, 0xff); }},
    };
    for (const auto& [name, tint] : tints) {
        ProminentButton button(u"添加第一个词条"_s);
        button.setTint(tint);
        button.resize(button.sizeHint());
        const QRgb ground = layoutSweep::inkOf(button.grab().toImage()).ground;
        EXPECT_GE(1.05 / (luminance(ground) + 0.05), 4.5) << name;
    }
}

} // namespace
} // namespace vellamor::test
