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
    SectionHeader bare(QStringLiteral("外观"));
    EXPECT_EQ(texts(bare), QStringList { QStringLiteral("外观") });
    SectionHeader full(QStringLiteral("外观"), QStringLiteral("主题与灵动岛位置"));
    EXPECT_EQ(texts(full), (QStringList { QStringLiteral("外观"), QStringLiteral("主题与灵动岛位置") }));

    CardGroup untitled;
    untitled.addWidget(new SettingsRow(QStringLiteral("语言"), std::nullopt, new QCheckBox));
    EXPECT_EQ(texts(untitled), QStringList { QStringLiteral("语言") });
    CardGroup titled(QStringLiteral("about this"));
    titled.addWidget(new SettingsRow(QStringLiteral("语言"), QStringLiteral("一段说明"), nullptr));
    titled.addWidget(new RowDivider);
    EXPECT_EQ(texts(titled),
        (QStringList { QStringLiteral("ABOUT THIS"), QStringLiteral("语言"), QStringLiteral("一段说明") }));
}

TEST(ViewKitTest, ALongRowExplanationWrapsInsteadOfBeingCut)
{
    const QString longText = QString(QStringLiteral("说明很长，")).repeated(30);
    SettingsRow row(QStringLiteral("标题"), longText, new QCheckBox);
    row.resize(400, row.heightForWidth(400));
    settleWidgets();
    const auto labels = shownInReadingOrder<QLabel>(row);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_TRUE(labels[1]->wordWrap());
    EXPECT_GT(row.heightForWidth(400), 3 * labels[0]->sizeHint().height());
}

TEST(ViewKitTest, APillShowsItsIconInsteadOfTheDot)
{
    StatusPill dotted(QStringLiteral("已连接"), PillTone::success);
    EXPECT_TRUE(dotted.findChildren<SymbolView*>().isEmpty());
    EXPECT_EQ(dotted.accessibleName(), QStringLiteral("已连接"));
    StatusPill withIcon(QStringLiteral("失败"), PillTone::danger, QStringLiteral("info.circle"));
    const auto symbols = withIcon.findChildren<SymbolView*>();
    ASSERT_EQ(symbols.size(), 1);
    EXPECT_EQ(symbols.first()->name(), QStringLiteral("info.circle"));
    // The dot is the pill's only other child besides the label.
    EXPECT_EQ(dotted.findChildren<QWidget*>().size(), withIcon.findChildren<QWidget*>().size());
}

TEST(ViewKitTest, GridValuesCanBeSelectedAndKeysAppearOnce)
{
    InfoGrid empty({});
    EXPECT_TRUE(texts(empty).isEmpty());
    InfoGrid grid({ { QStringLiteral("版本"), QStringLiteral("1.4.0 (57)") },
        { QStringLiteral("系统"), QStringLiteral("Debian 12") }, { QStringLiteral("版本"), QStringLiteral("2.0") } });
    EXPECT_EQ(texts(grid),
        (QStringList { QStringLiteral("版本"), QStringLiteral("1.4.0 (57)"), QStringLiteral("系统"),
            QStringLiteral("Debian 12") }));
    const auto labels = shownInReadingOrder<QLabel>(grid);
    EXPECT_FALSE(labels[0]->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_TRUE(labels[1]->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_EQ(labels[1]->accessibleName(), QStringLiteral("1.4.0 (57)"));
}

TEST(ViewKitTest, AHiddenToastKeepsItsPlaceButDrawsNothing)
{
    SavedToast toast;
    toast.resize(toast.sizeHint());
    EXPECT_EQ(toast.accessibleName(), QStringLiteral("已保存"));
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
    renderView(toast, QStringLiteral("kit-saved-toast"));
}

TEST(ViewKitTest, EverySectionHasASymbolAndUnknownNamesDrawNothing)
{
    for (const SettingsSection section : allSettingsSections) {
        const QPixmap symbol = Symbols::pixmap(sidebarIcon(section), 16, Qt::black);
        ASSERT_FALSE(symbol.isNull()) << sidebarIcon(section).toStdString();
        EXPECT_TRUE(hasInk(symbol.toImage()));
    }
    EXPECT_TRUE(
        Symbols::pixmap(QStringLiteral("checkmark.circle.fill"), 12, Qt::green).toImage().pixelColor(6, 1).green() > 0);
    EXPECT_FALSE(Symbols::exists(QStringLiteral("no.such.symbol")));
    EXPECT_TRUE(Symbols::pixmap(QStringLiteral("no.such.symbol"), 16, Qt::black).isNull());
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
        second = QStringLiteral("b");
        first = 2;
        EXPECT_TRUE(seen.empty()) << "nothing is drawn before the turn ends";
        if (stop == Stop::cancel)
            batch.cancel();
        if (stop == Stop::destroyContext)
            context.reset();
        QCoreApplication::processEvents();
        if (stop == Stop::none)
            EXPECT_EQ(seen, (std::vector<std::pair<int, QString>> { { 2, QStringLiteral("b") } }));
        else
            EXPECT_TRUE(seen.empty()) << static_cast<int>(stop);
    }
}

TEST(ViewKitTest, Screenshots)
{
    std::vector<std::pair<QString, std::unique_ptr<QWidget>>> components;
    components.emplace_back(QStringLiteral("kit-section-header"),
        std::make_unique<SectionHeader>(QStringLiteral("外观"), QStringLiteral("主题与灵动岛位置")));
    auto card = std::make_unique<CardGroup>(QStringLiteral("主题"));
    card->addWidget(new SettingsRow(
        QStringLiteral("外观主题"), QStringLiteral("灵动岛始终使用深色背景，与系统托盘一致"), new QCheckBox));
    card->addWidget(new RowDivider);
    card->addWidget(new SettingsRow(QStringLiteral("说话转写后自动润色"), std::nullopt, new QCheckBox));
    components.emplace_back(QStringLiteral("kit-card-group"), std::move(card));
    auto pills = std::make_unique<QWidget>();
    auto* pillRow = new QHBoxLayout(pills.get());
    pillRow->addWidget(new StatusPill(QStringLiteral("未知"), PillTone::neutral));
    pillRow->addWidget(new StatusPill(QStringLiteral("同步中"), PillTone::info));
    pillRow->addWidget(
        new StatusPill(QStringLiteral("已授权"), PillTone::success, QStringLiteral("checkmark.circle.fill")));
    pillRow->addWidget(new StatusPill(QStringLiteral("待授权"), PillTone::warning));
    pillRow->addWidget(new StatusPill(QStringLiteral("被拒绝"), PillTone::danger));
    components.emplace_back(QStringLiteral("kit-status-pills"), std::move(pills));
    components.emplace_back(QStringLiteral("kit-info-card"),
        std::make_unique<InfoCard>(
            QStringLiteral("info.circle"), QStringLiteral("提示"), QStringLiteral("说满 5 分钟时灵动岛会变黄提醒。")));
    components.emplace_back(QStringLiteral("kit-info-grid"),
        std::make_unique<InfoGrid>(
            QList<QPair<QString, QString>> { { QStringLiteral("Vellamor 版本"), QStringLiteral("1.4.0 (57)") },
                { QStringLiteral("系统"), QStringLiteral("Debian 12") } }));
    auto keys = std::make_unique<QWidget>();
    auto* keyRow = new QHBoxLayout(keys.get());
    for (const QString& cap : { QStringLiteral("⌃"), QStringLiteral("⇧"), QStringLiteral("Space") })
        keyRow->addWidget(new Keycap(cap));
    components.emplace_back(QStringLiteral("kit-keycaps"), std::move(keys));
    components.emplace_back(QStringLiteral("kit-island-preview"), std::make_unique<IslandPreview>());
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
        ProminentButton button(QStringLiteral("添加第一个词条"));
        button.setTint(tint);
        button.resize(button.sizeHint());
        const QRgb ground = layoutSweep::inkOf(button.grab().toImage()).ground;
        EXPECT_GE(1.05 / (luminance(ground) + 0.05), 4.5) << name;
    }
}

} // namespace
} // namespace vellamor::test
