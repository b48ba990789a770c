#include "QtPrinters.h"
#include "RecordingSystemLog.h"

#include "I18n/QtOwnTexts.h"
#include "Menu/MenuBarController.h"

#include "WidgetRendering.h"

#include <QAbstractButton>
#include <QAction>
#include <QKeySequence>
#include <QPainter>

#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace vellamor::test {
namespace {

QString shown(const std::optional<QString>& value)
{
    return value.value_or(QStringLiteral("<none>"));
}

// One line per entry: "-" for a separator, else the title, its shortcut,
// "✓" when checked, "(disabled)" and "(hidden)".
QStringList describe(const QMenu& menu)
{
    QStringList lines;
    for (const QAction* action : menu.actions()) {
        QString line = action->isSeparator() ? QStringLiteral("-") : action->text();
        if (!action->shortcut().isEmpty())
            line += QStringLiteral(" ") + action->shortcut().toString(QKeySequence::PortableText);
        if (action->isChecked())
            line += QStringLiteral(" ✓");
        if (!action->isEnabled())
            line += QStringLiteral(" (disabled)");
        if (!action->isVisible())
            line += QStringLiteral(" (hidden)");
        lines.append(line);
    }
    return lines;
}

QAction* entry(const QMenu& menu, const QString& title)
{
    for (QAction* action : menu.actions()) {
        if (action->text() == title)
            return action;
    }
    ADD_FAILURE() << "no entry " << title.toStdString();
    return nullptr;
}

class MenuBarControllerTest : public ::testing::Test {
protected:
    MenuBarControllerTest()
    {
        menuBar_.onToggleEnabled
            = [this](bool on) { calls_.append(on ? QStringLiteral("enabled true") : QStringLiteral("enabled false")); };
        menuBar_.onToggleRecord = [this] { calls_.append(QStringLiteral("record")); };
        menuBar_.onOpenSettings
            = [this](const auto& section) { calls_.append(QStringLiteral("settings ") + shown(section)); };
        menuBar_.onShowHistory = [this] { calls_.append(QStringLiteral("history")); };
        menuBar_.onShowDictionary = [this] { calls_.append(QStringLiteral("dictionary")); };
        menuBar_.onShowHelp = [this] { calls_.append(QStringLiteral("help")); };
        menuBar_.onQuit = [this] { calls_.append(QStringLiteral("quit")); };
        menuBar_.onSelectMicrophoneUID
            = [this](const auto& uid) { calls_.append(QStringLiteral("microphone ") + shown(uid)); };
        menuBar_.install();
    }

    QAction* entry(const QString& title) { return test::entry(menuBar_.menu(), title); }
    QMenu& microphones() { return *entry(QStringLiteral("麦克风"))->menu(); }

    std::shared_ptr<RecordingSystemLog> systemLog_ = std::make_shared<RecordingSystemLog>();
    QStringList calls_;
    MenuBarController menuBar_ { VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("menubar"), systemLog_,
                                     nullptr),
        [this] { calls_.append(QStringLiteral("terminate")); } };
};

TEST_F(MenuBarControllerTest, MenuHoldsEveryEntryAndTheStatusRows)
{
    EXPECT_EQ(describe(menuBar_.menu()),
        QStringList({ QStringLiteral("当前状态：— (disabled)"), QStringLiteral("输出模式：— (disabled)"),
            QStringLiteral("账户：— (disabled) (hidden)"), QStringLiteral("-"), QStringLiteral("启用 Vellamor ✓"),
            QStringLiteral("-"), QStringLiteral("麦克风"), QStringLiteral("开始录音 Ctrl+Alt+R"),
            QStringLiteral("打开设置… Ctrl+,"), QStringLiteral("-"), QStringLiteral("历史记录"), QStringLiteral("词典"),
            QStringLiteral("诊断与日志"), QStringLiteral("-"), QStringLiteral("帮助 Ctrl+?"),
            QStringLiteral("退出 Vellamor Ctrl+Q") }));
    EXPECT_EQ(microphones().title(), QStringLiteral("麦克风"));

    menuBar_.updateStatus({ QStringLiteral("录音中 1:05"), QStringLiteral("插入润色后"), QStringLiteral("a@x.io") });
    EXPECT_EQ(describe(menuBar_.menu()).mid(0, 3),
        QStringList({ QStringLiteral("当前状态：录音中 1:05 (disabled)"),
            QStringLiteral("输出模式：插入润色后 (disabled)"), QStringLiteral("账户：a@x.io") }));
    menuBar_.updateStatus({ QStringLiteral("待机"), QStringLiteral("仅插入原文"), std::nullopt });
    EXPECT_EQ(describe(menuBar_.menu())[2], QStringLiteral("账户：a@x.io (disabled) (hidden)"));

    // The offscreen platform has no tray host: said once, and the menu works on.
    const auto lines = systemLog_->entries();
    const auto warnings = std::count_if(lines.begin(), lines.end(),
                                        [](const auto& line) { return line.level == SystemLogLevel::Default; });
    EXPECT_EQ(warnings, 1);
}

TEST_F(MenuBarControllerTest, EntriesAndClicksCallTheirCallbacks)
{
    struct Case {
        QString title;
        QStringList calls;
    };
    const std::array cases {
        Case { QStringLiteral("启用 Vellamor"), { QStringLiteral("enabled false") } },
        Case { QStringLiteral("启用 Vellamor"), { QStringLiteral("enabled true") } },
        Case { QStringLiteral("开始录音"), { QStringLiteral("record") } },
        Case { QStringLiteral("打开设置…"), { QStringLiteral("settings <none>") } },
        Case { QStringLiteral("历史记录"), { QStringLiteral("history") } },
        Case { QStringLiteral("词典"), { QStringLiteral("dictionary") } },
        Case { QStringLiteral("诊断与日志"), { QStringLiteral("settings diagnostics") } },
        Case { QStringLiteral("帮助"), { QStringLiteral("help") } },
        Case { QStringLiteral("账户：—"), { QStringLiteral("settings backend") } },
        Case { QStringLiteral("退出 Vellamor"), { QStringLiteral("quit"), QStringLiteral("terminate") } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        calls_.clear();
        entry(c.title)->trigger();
        EXPECT_EQ(calls_, c.calls);
        EXPECT_EQ(entry(QStringLiteral("启用 Vellamor"))->isChecked(), menuBar_.isEnabled());
    }

    // Without windows of their own, history and dictionary open the settings page of both.
    menuBar_.onShowHistory = nullptr;
    menuBar_.onShowDictionary = nullptr;
    menuBar_.onShowHelp = nullptr;
    calls_.clear();
    entry(QStringLiteral("历史记录"))->trigger();
    entry(QStringLiteral("词典"))->trigger();
    entry(QStringLiteral("帮助"))->trigger();
    EXPECT_EQ(calls_, QStringList({ QStringLiteral("settings historyDict"), QStringLiteral("settings historyDict") }));

    // A left click records while dictation is on; otherwise it opens the
    // menu. The desktop shows the attached menu on a right click itself.
    struct Click {
        bool enabled;
        QSystemTrayIcon::ActivationReason reason;
        QStringList calls;
        bool menuOpen;
    };
    const std::array clicks {
        Click { true, QSystemTrayIcon::Trigger, { QStringLiteral("record") }, false },
        Click { false, QSystemTrayIcon::Trigger, {}, true },
        Click { true, QSystemTrayIcon::Context, {}, false },
        Click { true, QSystemTrayIcon::Unknown, {}, true },
        Click { true, QSystemTrayIcon::Trigger, { QStringLiteral("record") }, false },
    };
    for (const Click& c : clicks) {
        SCOPED_TRACE(c.reason);
        if (menuBar_.isEnabled() != c.enabled)
            entry(QStringLiteral("启用 Vellamor"))->trigger();
        calls_.clear();
        menuBar_.statusItemClicked(c.reason);
        EXPECT_EQ(calls_, c.calls);
        EXPECT_EQ(menuBar_.menu().isVisible(), c.menuOpen);
        menuBar_.menu().hide();
    }
}

TEST_F(MenuBarControllerTest, TheHelpAlertsButtonsSpeakChinese)
{
    // As the application does at its start.
    ASSERT_TRUE(QtOwnTexts::install(*QCoreApplication::instance())) << QtOwnTexts::catalogue().toStdString();
    menuBar_.showHelpNotOpened(QUrl(QStringLiteral("https://vellamor.com/help")));
    ASSERT_NE(menuBar_.helpAlert(), nullptr);
    QStringList buttons;
    for (const QAbstractButton* button : menuBar_.helpAlert()->buttons())
        buttons.append(button->text());
    EXPECT_EQ(buttons, QStringList { QStringLiteral("确定") });
}

TEST_F(MenuBarControllerTest, MicrophoneSubmenuListsTheDevicesWithTheChoiceChecked)
{
    const AudioInputDevice builtIn { 1, QStringLiteral("alsa_input.pci"), QStringLiteral("Built-in Audio"), true };
    const AudioInputDevice usb { 2, QStringLiteral("alsa_input.usb"), QStringLiteral("USB Mic"), false };
    struct Case {
        QList<AudioInputDevice> devices;
        std::optional<QString> selected;
        QStringList entries;
    };
    const std::array cases {
        Case { {}, std::nullopt, { QStringLiteral("系统默认 ✓"), QStringLiteral("未找到输入设备 (disabled)") } },
        Case { { builtIn }, std::nullopt,
            { QStringLiteral("系统默认 ✓"), QStringLiteral("-"), QStringLiteral("Built-in Audio（当前默认）") } },
        Case { { builtIn, usb }, QStringLiteral("alsa_input.usb"),
            { QStringLiteral("系统默认"), QStringLiteral("-"), QStringLiteral("Built-in Audio（当前默认）"),
                QStringLiteral("USB Mic ✓") } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.devices.size());
        menuBar_.updateMicrophones(c.devices, c.selected);
        EXPECT_EQ(describe(microphones()), c.entries);
    }

    calls_.clear();
    test::entry(microphones(), QStringLiteral("系统默认"))->trigger();
    test::entry(microphones(), QStringLiteral("Built-in Audio（当前默认）"))->trigger();
    EXPECT_EQ(
        calls_, QStringList({ QStringLiteral("microphone <none>"), QStringLiteral("microphone alsa_input.pci") }));
}

double luminance(const QColor& c)
{
    const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF()) + 0.05;
}

// How many pixels of two 22 px images differ by at least `ratio` in contrast.
int pixelsApart(const QImage& a, const QImage& b, double ratio)
{
    int n = 0;
    for (int i = 0; i < 22 * 22; ++i) {
        const double la = luminance(a.pixelColor(i % 22, i / 22)), lb = luminance(b.pixelColor(i % 22, i / 22));
        n += std::max(la, lb) / std::min(la, lb) >= ratio;
    }
    return n;
}

TEST_F(MenuBarControllerTest, IconShowsTheStateAndTheBadgeOfAConnectedSource)
{
    struct Case {
        MenuBarIconState state;
        QString toolTip;
    };
    const std::array cases {
        Case { MenuBarIconState::idle, QStringLiteral("Vellamor · 待机（左键开始录音）") },
        Case { MenuBarIconState::recording, QStringLiteral("Vellamor · 录音中（左键结束）") },
        Case { MenuBarIconState::processing, QStringLiteral("Vellamor · 处理中") },
        Case { MenuBarIconState::needsSetup, QStringLiteral("Vellamor · 请完成初始设置") },
        Case { MenuBarIconState::error, QStringLiteral("Vellamor · 出错") },
    };
    const auto badged = [this] {
        const QImage image = menuBar_.item()->icon().pixmap(QSize(22, 22), 1.0).toImage();
        return image.width() == 22 && image.pixelColor(17, 5) == QColor(52, 199, 89);
    };
    std::array<QImage, 2> panels{QImage(22, 22, QImage::Format_RGB32), QImage(22, 22, QImage::Format_RGB32)};
    panels[0].fill(QColor(242, 242, 242));
    panels[1].fill(QColor(36, 36, 36));
    std::array<std::vector<QImage>, 2> shown;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.toolTip.toStdString());
        menuBar_.setHasConnectedInputSource(false);
        menuBar_.updateIcon(c.state);
        EXPECT_EQ(menuBar_.item()->toolTip(), c.toolTip);
        EXPECT_FALSE(menuBar_.item()->icon().isNull());
        EXPECT_FALSE(badged());
        // On a light and a dark panel each state stands out from the panel
        // (contrast 3:1 or more) and from every other state, in many pixels.
        for (std::size_t p = 0; p < panels.size(); ++p) {
            QImage image = panels[p];
            QPainter(&image).drawPixmap(0, 0, menuBar_.item()->icon().pixmap(22, 22));
            saveScreenshot(image.scaled(88, 88),
                QStringLiteral("tray-%1-%2")
                    .arg(int(c.state))
                    .arg(p ? QStringLiteral("dark") : QStringLiteral("light")));
            EXPECT_GE(pixelsApart(image, panels[p], 3.0), 40);
            for (const QImage& other : shown[p])
                EXPECT_GE(pixelsApart(image, other, 1.5), 40) << "like an earlier state on panel " << p;
            shown[p].push_back(image);
        }

        menuBar_.setHasConnectedInputSource(true);
        menuBar_.updateIcon(menuBar_.currentIconState());
        EXPECT_TRUE(badged());
        const QImage image = menuBar_.item()->icon().pixmap(QSize(22, 22), 1.0).toImage();
        for (int i = 12; i < 22; ++i)
            EXPECT_EQ(image.pixelColor(i, 0).alpha() + image.pixelColor(21, i - 12).alpha(), 0) << "badge at the edge";
    }
}

} // namespace
} // namespace vellamor::test
