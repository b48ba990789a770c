#include "FakeAccessibilityStatus.h"
#include "FakeCommandLauncher.h"
#include "FakeInputMonitoringProbe.h"
#include "FakeSoundServer.h"
#include "QtPrinters.h"

#include "Permissions/PermissionChecker.h"
#include "Platform/InputMonitoring/X11InputMonitoringProbe.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/SystemLayeredInserter.h"

#include <gmock/gmock.h>

#include <functional>
#include <memory>

namespace vellamor::test {
namespace {

using Status = VellamorPermissionStatus;
using Support = platform::InputMonitoringSupport;

// A checker over fakes of every facility.
class PermissionCheckerTest : public ::testing::Test {
protected:
    PermissionChecker checker() const
    {
        return PermissionChecker(
            PermissionChecker::Facilities { inputMonitoring, soundServer, accessibility, launcher },
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("permission"), nullptr, nullptr));
    }

    std::shared_ptr<FakeInputMonitoringProbe> inputMonitoring =
        std::make_shared<FakeInputMonitoringProbe>(Support::available);
    std::shared_ptr<FakeSoundServer> soundServer = std::make_shared<FakeSoundServer>();
    std::shared_ptr<FakeAccessibilityStatus> accessibility = std::make_shared<FakeAccessibilityStatus>(true);
    std::shared_ptr<FakeCommandLauncher> launcher = std::make_shared<FakeCommandLauncher>();
};

TEST_F(PermissionCheckerTest, EachAnswerOfTheSystemMapsToAStatusAndItsReason)
{
    platform::SoundServerSnapshot monitorsOnly = FakeSoundServer::oneMicrophone();
    monitorsOnly.sources.removeLast();
    platform::SoundServerSnapshot silentMicrophone = FakeSoundServer::oneMicrophone();
    silentMicrophone.sources.last().channels = 0;
    platform::SoundServerSnapshot monitorAsDefault = FakeSoundServer::oneMicrophone();
    monitorAsDefault.defaultSourceName = QStringLiteral("out.monitor");
    using Read = std::function<PermissionState(const PermissionChecker&)>;
    const Read microphone = [](const PermissionChecker& c) { return runBlocking(c.microphone()); };
    const Read ax = &PermissionChecker::accessibility;
    const Read keys = &PermissionChecker::inputMonitoring;
    const QString noMicrophone = QStringLiteral("声音服务器上没有可用的麦克风。");
    struct Case {
        const char* name;
        std::function<void()> arrange;
        Read read;
        PermissionState expected;
    };
    const Case cases[] = {
        { "microphone", [&] { soundServer->answer = FakeSoundServer::oneMicrophone(); }, microphone,
            { Status::granted, {} } },
        { "monitorAsDefaultBesideAMicrophone", [&] { soundServer->answer = monitorAsDefault; }, microphone,
            { Status::granted, {} } },
        { "noSoundServer", [&] { soundServer->answer = {}; }, microphone,
            { Status::denied, QStringLiteral("未能连接到声音服务器（PulseAudio 或 PipeWire），Vellamor 无法录音。") } },
        { "monitorsOnly", [&] { soundServer->answer = monitorsOnly; }, microphone, { Status::denied, noMicrophone } },
        { "microphoneWithoutChannels", [&] { soundServer->answer = silentMicrophone; }, microphone,
            { Status::denied, noMicrophone } },
        { "atspiOn", [&] { accessibility->enabled = true; }, ax, { Status::granted, {} } },
        { "atspiOff", [&] { accessibility->enabled = false; }, ax,
            { Status::notDetermined,
                QStringLiteral("辅助功能支持（AT-SPI）尚未开启，Vellamor 无法把文字写入其他应用。") } },
        { "noAccessibilityBus", [&] { accessibility->enabled = std::nullopt; }, ax,
            { Status::notDetermined, QStringLiteral("无法查询辅助功能支持（AT-SPI）的状态：会话总线没有应答。") } },
        { "x11WithKeyObservation", [&] { inputMonitoring->answer = Support::available; }, keys,
            { Status::granted, {} } },
        { "wayland", [&] { inputMonitoring->answer = Support::waylandSession; }, keys,
            { Status::denied,
                QStringLiteral("当前是 Wayland 会话，Vellamor 无法在其中监听全局热键。请注销后选择 X11 会话登录。") } },
        { "noDisplay", [&] { inputMonitoring->answer = Support::noDisplay; }, keys,
            { Status::denied, QStringLiteral("未能连接到 X11 显示服务器，Vellamor 无法监听全局热键。") } },
        { "noXInput21", [&] { inputMonitoring->answer = Support::noKeyObservation; }, keys,
            { Status::denied, QStringLiteral("X11 显示服务器不支持 XInput 2.1，Vellamor 无法监听全局热键。") } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        EXPECT_EQ(c.read(checker()), c.expected);
    }
    EXPECT_EQ(accessibility->enables, 0);
}

TEST_F(PermissionCheckerTest, RequestingAccessibilitySwitchesItOnOnlyWhenOff)
{
    EXPECT_EQ(checker().requestAccessibility(), (PermissionState{Status::granted, QString()}));
    EXPECT_EQ(accessibility->enables, 0);

    accessibility->enabled = false;
    EXPECT_EQ(checker().requestAccessibility(),
        (PermissionState { Status::granted,
            QStringLiteral("已开启辅助功能支持。请重新启动已经打开的应用，Vellamor 才能把文字写入其中。") }));
    EXPECT_EQ(accessibility->enables, 1);
    EXPECT_EQ(accessibility->enabled, true);

    accessibility->enabled = false;
    accessibility->refuses = true;
    EXPECT_EQ(checker().requestAccessibility().status, Status::notDetermined);
}

TEST_F(PermissionCheckerTest, SnapshotAsksEverySystemEachTime)
{
    using Snapshot = QMap<VellamorPermission, Status>;
    const PermissionChecker checker = this->checker();
    soundServer->answer = {};
    accessibility->enabled = false;
    EXPECT_EQ(runBlocking(checker.snapshot()), (Snapshot{{VellamorPermission::microphone, Status::denied},
                                            {VellamorPermission::accessibility, Status::notDetermined},
                                            {VellamorPermission::inputMonitoring, Status::granted}}));
    soundServer->answer = FakeSoundServer::oneMicrophone();
    accessibility->enabled = true;
    inputMonitoring->answer = Support::waylandSession;
    EXPECT_EQ(runBlocking(checker.snapshot()), (Snapshot{{VellamorPermission::microphone, Status::granted},
                                            {VellamorPermission::accessibility, Status::granted},
                                            {VellamorPermission::inputMonitoring, Status::denied}}));
}

TEST_F(PermissionCheckerTest, InsertionTrustFollowsTheAccessibilityPermissionAtEveryCall)
{
    const auto trusted = SystemLayeredInserter::accessibilityTrust(std::make_shared<PermissionChecker>(checker()));
    EXPECT_TRUE(trusted());
    accessibility->enabled = false;
    EXPECT_FALSE(trusted());
    EXPECT_FALSE(SystemLayeredInserter::accessibilityTrust(nullptr)());
}

TEST_F(PermissionCheckerTest, OpensTheFirstSettingsPageThatStarts)
{
    const QString gnome = QStringLiteral("gnome-control-center");
    const QString kde = QStringLiteral("systemsettings");
    struct Case {
        const char* name;
        VellamorPermission permission;
        QSet<QString> installed;
        QSet<QString> failing;
        QList<QStringList> launches;
        bool opened;
    };
    const Case cases[] = {
        { "GNOME sound", VellamorPermission::microphone, { gnome, kde }, {}, { { gnome, QStringLiteral("sound") } },
            true },
        { "KDE sound", VellamorPermission::microphone, { kde }, {}, { { kde, QStringLiteral("kcm_pulseaudio") } },
            true },
        { "GNOME accessibility", VellamorPermission::accessibility, { gnome }, {},
            { { gnome, QStringLiteral("universal-access") } }, true },
        { "KDE accessibility", VellamorPermission::accessibility, { kde }, {},
            { { kde, QStringLiteral("kcm_access") } }, true },
        { "GNOME broken, KDE next", VellamorPermission::accessibility, { gnome, kde }, { gnome },
            { { gnome, QStringLiteral("universal-access") }, { kde, QStringLiteral("kcm_access") } }, true },
        { "no settings program", VellamorPermission::microphone, {}, {}, {}, false },
        { "input monitoring has no page", VellamorPermission::inputMonitoring, { gnome, kde }, {}, {}, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        launcher->installed = c.installed;
        launcher->failing = c.failing;
        launcher->launches.clear();
        EXPECT_EQ(checker().openSystemSettings(c.permission), c.opened);
        EXPECT_EQ(launcher->launches, c.launches);
    }
}

TEST(VellamorPermissionTest, TitlesAndRationales)
{
    struct Case {
        VellamorPermission permission;
        QString title;
        QString rationale;
    };
    const Case cases[] = {
        { VellamorPermission::microphone, QStringLiteral("麦克风"),
            QStringLiteral("Vellamor 需要访问麦克风以采集语音。") },
        { VellamorPermission::accessibility, QStringLiteral("辅助功能"),
            QStringLiteral("Vellamor 需要辅助功能权限以模拟粘贴到光标位置。") },
        { VellamorPermission::inputMonitoring, QStringLiteral("输入监控"),
            QStringLiteral("Vellamor 需要输入监控权限以监听全局热键。") },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(title(c.permission), c.title);
        EXPECT_EQ(rationale(c.permission), c.rationale);
    }
}

QProcessEnvironment environment(std::initializer_list<std::pair<const char*, const char*>> entries)
{
    QProcessEnvironment env;
    for (const auto& [name, value] : entries)
        env.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    return env;
}

TEST(X11InputMonitoringProbe, WaylandSessionOrMissingDisplayRulesItOut)
{
    struct Row {
        QProcessEnvironment env;
        Support expected;
    };
    const Row rows[] = {
        // XWayland's DISPLAY does not make global keys visible.
        {environment({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}}), Support::waylandSession},
        {environment({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}), Support::waylandSession},
        {environment({}), Support::noDisplay},
        {environment({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":4242"}}), Support::noDisplay},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.env.toStringList().join(u' ').toStdString());
        EXPECT_EQ(platform::X11InputMonitoringProbe(row.env).probe(), row.expected);
    }
}

} // namespace
} // namespace vellamor::test
