#include "QtPrinters.h"
#include "RecordingSystemLog.h"

#include "Menu/MenuBarController.h"

#include "WidgetRendering.h"

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

using namespace Qt::StringLiterals;

QString shown(const std::optional<QString>& value)
{
    return value.value_or(u"<none>"_s);
}

// One line per entry: "-" for a separator, else the title, its shortcut,
// "✓" when checked, "(disabled)" and "(hidden)".
QStringList describe(const QMenu& menu)
{
    QStringList lines;
    for (const QAction* action : menu.actions()) {
        QString line = action->isSeparator() ? u"-"_s : action->text();
        if (!action->shortcut().isEmpty())
            line += u" "_s + action->shortcut().toString(QKeySequence::PortableText);
        if (action->isChecked())
            line += u" ✓"_s;
        if (!action->isEnabled())
            line += u" (disabled)"_s;
        if (!action->isVisible())
            line += u" (hidden)"_s;
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
        menuBar_.onToggleEnabled = [this](bool on) { calls_.append(on ? u"enabled true"_s : u"enabled false"_s); };
        menuBar_.onToggleRecord = [this] { calls_.append(u"record"_s); };
        menuBar_.onOpenSettings = [this](const auto& section) { calls_.append(u"settings "_s + shown(section)); };
        menuBar_.onShowHistory = [this] { calls_.append(u"history"_s); };
        menuBar_.onShowDictionary = [this] { calls_.append(u"dictionary"_s); };
        menuBar_.onShowHelp = [this] { calls_.append(u"help"_s); };
        menuBar_.onQuit = [this] { calls_.append(u"quit"_s); };
        menuBar_.onSelectMicrophoneUID = [this](const auto& uid) { calls_.append(u"microphone "_s + shown(uid)); };
        menuBar_.install();
    }

    QAction* entry(const QString& title) { return test::entry(menuBar_.menu(), title); }
    QMenu& microphones() { return *entry(u"麦克风"_s)->menu(); }

    std::shared_ptr<RecordingSystemLog> systemLog_ = std::make_shared<RecordingSystemLog>();
    QStringList calls_;
    MenuBarController menuBar_{VellamorLog(u"com.vellamor.app"_s, u"menubar"_s, systemLog_, nullptr),
                               [this] { calls_.append(u"terminate"_s); }};
};

TEST_F(MenuBarControllerTest, MenuHoldsEveryEntryAndTheStatusRows)
{
    EXPECT_EQ(describe(menuBar_.menu()),
              QStringList({u"当前状态：— (disabled)"_s, u"输出模式：— (disabled)"_s, u"账户：— (disabled) (hidden)"_s,
                           u"-"_s, u"启用 Vellamor ✓"_s, u"-"_s, u"麦克风"_s, u"开始录音 Ctrl+Alt+R"_s,
                           u"打开设置… Ctrl+,"_s, u"-"_s, u"历史记录"_s, u"词典"_s, u"诊断与日志"_s, u"-"_s,
                           u"帮助 Ctrl+?"_s, u"退出 Vellamor Ctrl+Q"_s}));
    EXPECT_EQ(microphones().title(), u"麦克风"_s);

    menuBar_.updateStatus({u"录音中 1:05"_s, u"插入润色后"_s, u"a@x.io"_s});
    EXPECT_EQ(describe(menuBar_.menu()).mid(0, 3),
              QStringList({u"当前状态：录音中 1:05 (disabled)"_s, u"输出模式：插入润色后 (disabled)"_s,
                           u"账户：a@x.io"_s}));
    menuBar_.updateStatus({u"待机"_s, u"仅插入原文"_s, std::nullopt});
    EXPECT_EQ(describe(menuBar_.menu())[2], u"账户：a@x.io (disabled) (hidden)"_s);

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
    const std::array cases{
        Case{u"启用 Vellamor"_s, {u"enabled false"_s}},  Case{u"启用 Vellamor"_s, {u"enabled true"_s}},
        Case{u"开始录音"_s, {u"record"_s}},              Case{u"打开设置…"_s, {u"settings <none>"_s}},
        Case{u"历史记录"_s, {u"history"_s}},             Case{u"词典"_s, {u"dictionary"_s}},
        Case{u"诊断与日志"_s, {u"settings diagnostics"_s}}, Case{u"帮助"_s, {u"help"_s}},
        Case{u"账户：—"_s, {u"settings backend"_s}},
        Case{u"退出 Vellamor"_s, {u"quit"_s, u"terminate"_s}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        calls_.clear();
        entry(c.title)->trigger();
        EXPECT_EQ(calls_, c.calls);
        EXPECT_EQ(entry(u"启用 Vellamor"_s)->isChecked(), menuBar_.isEnabled());
    }

    // Without windows of their own, history and dictionary open the settings page of both.
    menuBar_.onShowHistory = nullptr;
    menuBar_.onShowDictionary = nullptr;
    menuBar_.onShowHelp = nullptr;
    calls_.clear();
    entry(u"历史记录"_s)->trigger();
    entry(u"词典"_s)->trigger();
    entry(u"帮助"_s)->trigger();
    EXPECT_EQ(calls_, QStringList({u"settings historyDict"_s, u"settings historyDict"_s}));

    // A left click records while dictation is on; otherwise it opens the
    // menu. The desktop shows the attached menu on a right click itself.
    struct Click {
        bool enabled;
        QSystemTrayIcon::ActivationReason reason;
        QStringList calls;
        bool menuOpen;
    };
    const std::array clicks{
        Click{true, QSystemTrayIcon::Trigger, {u"record"_s}, false},
        Click{false, QSystemTrayIcon::Trigger, {}, true},
        Click{true, QSystemTrayIcon::Context, {}, false},
        Click{true, QSystemTrayIcon::Unknown, {}, true},
        Click{true, QSystemTrayIcon::Trigger, {u"record"_s}, false},
    };
    for (const Click& c : clicks) {
        SCOPED_TRACE(c.reason);
        if (menuBar_.isEnabled() != c.enabled)
            entry(u"启用 Vellamor"_s)->trigger();
        calls_.clear();
        menuBar_.statusItemClicked(c.reason);
        EXPECT_EQ(calls_, c.calls);
        EXPECT_EQ(menuBar_.menu().isVisible(), c.menuOpen);
        menuBar_.menu().hide();
    }
}

TEST_F(MenuBarControllerTest, MicrophoneSubmenuListsTheDevicesWithTheChoiceChecked)
{
    const AudioInputDevice builtIn{1, u"alsa_input.pci"_s, u"Built-in Audio"_s, true};
    const AudioInputDevice usb{2, u"alsa_input.usb"_s, u"USB Mic"_s, false};
    struct Case {
        QList<AudioInputDevice> devices;
        std::optional<QString> selected;
        QStringList entries;
    };
    const std::array cases{
        Case{{}, std::nullopt, {u"系统默认 ✓"_s, u"未找到输入设备 (disabled)"_s}},
        Case{{builtIn}, std::nullopt, {u"系统默认 ✓"_s, u"-"_s, u"Built-in Audio（当前默认）"_s}},
        Case{{builtIn, usb},
             u"alsa_input.usb"_s,
             {u"系统默认"_s, u"-"_s, u"Built-in Audio（当前默认）"_s, u"USB Mic ✓"_s}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.devices.size());
        menuBar_.updateMicrophones(c.devices, c.selected);
        EXPECT_EQ(describe(microphones()), c.entries);
    }

    calls_.clear();
    test::entry(microphones(), u"系统默认"_s)->trigger();
    test::entry(microphones(), u"Built-in Audio（当前默认）"_s)->trigger();
    EXPECT_EQ(calls_, QStringList({u"microphone <none>"_s, u"microphone alsa_input.pci"_s}));
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
    const std::array cases{
        Case{MenuBarIconState::idle, u"Vellamor · 待机（左键开始录音）"_s},
        Case{MenuBarIconState::recording, u"Vellamor · 录音中（左键结束）"_s},
        Case{MenuBarIconState::processing, u"Vellamor · 处理中"_s},
        Case{MenuBarIconState::needsSetup, u"Vellamor · 请完成初始设置"_s},
        Case{MenuBarIconState::error, u"Vellamor · 出错"_s},
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
            saveScreenshot(image.scaled(88, 88), u"tray-%1-%2"_s.arg(int(c.state)).arg(p ? u"dark"_s : u"light"_s));
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
