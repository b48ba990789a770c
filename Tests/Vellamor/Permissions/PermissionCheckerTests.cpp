#include "FakeAccessibilityStatus.h"
#include "FakeCommandLauncher.h"
#include "FakeInputMonitoringProbe.h"
#include "FakeSoundServer.h"
#include "QtPrinters.h"
#include "RecordingSystemLog.h"

#include "Permissions/PermissionChecker.h"
#include "Platform/InputMonitoring/X11InputMonitoringProbe.h"
#include "Support/Async/RunBlocking.h"

#include <gmock/gmock.h>

#include <memory>

namespace vellamor::test {
namespace {

using platform::InputMonitoringSupport;

PermissionChecker checkerAnswering(const std::shared_ptr<FakeInputMonitoringProbe>& probe)
{
    return PermissionChecker(probe, VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("permission"),
                                                nullptr, nullptr));
}

TEST(PermissionChecker, InputMonitoringFollowsWhatTheDisplayOffers)
{
    struct Row {
        InputMonitoringSupport support;
        VellamorPermissionStatus status;
        const char* mentions;
    };
    const Row rows[] = {
        {InputMonitoringSupport::available, VellamorPermissionStatus::granted, nullptr},
        {InputMonitoringSupport::waylandSession, VellamorPermissionStatus::denied, "Wayland"},
        {InputMonitoringSupport::noDisplay, VellamorPermissionStatus::denied, "X11"},
        {InputMonitoringSupport::noKeyObservation, VellamorPermissionStatus::denied, "XInput 2.1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.support));
        auto probe = std::make_shared<FakeInputMonitoringProbe>(row.support);
        const PermissionState state = checkerAnswering(probe).inputMonitoring();
        EXPECT_EQ(state.status, row.status);
        if (row.mentions)
            EXPECT_TRUE(state.explanation.contains(QString::fromUtf8(row.mentions))) << state.explanation.toStdString();
        else
            EXPECT_TRUE(state.explanation.isEmpty());
    }
}

TEST(PermissionChecker, AsksAgainEveryTime)
{
    auto probe = std::make_shared<FakeInputMonitoringProbe>(InputMonitoringSupport::noDisplay);
    const PermissionChecker checker = checkerAnswering(probe);
    EXPECT_EQ(checker.inputMonitoring().status, VellamorPermissionStatus::denied);
    probe->answer = InputMonitoringSupport::available;
    EXPECT_EQ(checker.inputMonitoring().status, VellamorPermissionStatus::granted);
    EXPECT_EQ(probe->calls, 2);
}

TEST(VellamorPermission, RawValuesTitlesAndOrder)
{
    EXPECT_THAT(allPermissions(), ::testing::ElementsAre(VellamorPermission::microphone,
                                                         VellamorPermission::accessibility,
                                                         VellamorPermission::inputMonitoring));
    for (VellamorPermission permission : allPermissions())
        EXPECT_EQ(permissionFromRawValue(rawValue(permission)), permission);
    EXPECT_EQ(rawValue(VellamorPermission::inputMonitoring), QStringLiteral("inputMonitoring"));
    EXPECT_FALSE(permissionFromRawValue(QStringLiteral("InputMonitoring")));
    EXPECT_EQ(title(VellamorPermission::inputMonitoring), QStringLiteral("输入监控"));
    EXPECT_EQ(rationale(VellamorPermission::inputMonitoring), QStringLiteral("Vellamor 需要输入监控权限以监听全局热键。"));
}

// A checker over fakes of every facility.
class PermissionCheckerTest : public ::testing::Test {
protected:
    PermissionChecker checker() const
    {
        return PermissionChecker(PermissionChecker::Facilities {inputMonitoring, soundServer, accessibility, launcher},
                                 VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("permission"), systemLog,
                                             nullptr));
    }

    QStringList warnings() const
    {
        QStringList lines;
        for (const auto& entry : systemLog->entries()) {
            if (entry.level == SystemLogLevel::Default)
                lines << entry.publicPart;
        }
        return lines;
    }

    std::shared_ptr<FakeInputMonitoringProbe> inputMonitoring =
        std::make_shared<FakeInputMonitoringProbe>(InputMonitoringSupport::available);
    std::shared_ptr<FakeSoundServer> soundServer = std::make_shared<FakeSoundServer>();
    std::shared_ptr<FakeAccessibilityStatus> accessibility = std::make_shared<FakeAccessibilityStatus>(true);
    std::shared_ptr<FakeCommandLauncher> launcher = std::make_shared<FakeCommandLauncher>();
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
};

TEST_F(PermissionCheckerTest, MicrophoneNeedsAServerWithARealSource)
{
    platform::SoundServerSnapshot unreachable;
    unreachable.failure = QStringLiteral("Connection refused");
    platform::SoundServerSnapshot monitorsOnly = FakeSoundServer::oneMicrophone();
    monitorsOnly.sources.removeLast();
    platform::SoundServerSnapshot silentSource = FakeSoundServer::oneMicrophone();
    silentSource.sources.last().channels = 0;
    platform::SoundServerSnapshot monitorAsDefault = FakeSoundServer::oneMicrophone();
    monitorAsDefault.defaultSourceName = QStringLiteral("out.monitor");

    struct Case {
        const char* name;
        platform::SoundServerSnapshot answer;
        VellamorPermissionStatus status;
        const char* mentions;
    };
    const Case cases[] = {
        {"microphone present", FakeSoundServer::oneMicrophone(), VellamorPermissionStatus::granted, nullptr},
        {"monitor as default, microphone present", monitorAsDefault, VellamorPermissionStatus::granted, nullptr},
        {"no server", unreachable, VellamorPermissionStatus::denied, "声音服务器"},
        {"monitors only", monitorsOnly, VellamorPermissionStatus::denied, "麦克风"},
        {"source without channels", silentSource, VellamorPermissionStatus::denied, "麦克风"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        soundServer->answer = c.answer;
        const PermissionState state = checker().microphone();
        EXPECT_EQ(state.status, c.status);
        if (c.mentions)
            EXPECT_TRUE(state.explanation.contains(QString::fromUtf8(c.mentions))) << state.explanation.toStdString();
        else
            EXPECT_TRUE(state.explanation.isEmpty());
        // Nothing to ask the user: the request answers the same at once.
        EXPECT_EQ(runBlocking(checker().requestMicrophone()), state);
    }
}

TEST_F(PermissionCheckerTest, AccessibilityIsGrantedOrUndeterminedButNeverDenied)
{
    struct Case {
        std::optional<bool> enabled;
        VellamorPermissionStatus status;
    };
    for (const Case& c : {Case {true, VellamorPermissionStatus::granted},
                          Case {false, VellamorPermissionStatus::notDetermined},
                          Case {std::nullopt, VellamorPermissionStatus::notDetermined}}) {
        SCOPED_TRACE(c.enabled ? (*c.enabled ? "on" : "off") : "no bus");
        accessibility->enabled = c.enabled;
        const PermissionState state = checker().accessibility();
        EXPECT_EQ(state.status, c.status);
        EXPECT_EQ(state.explanation.isEmpty(), c.status == VellamorPermissionStatus::granted);
    }
    EXPECT_EQ(accessibility->enables, 0);
}

TEST_F(PermissionCheckerTest, RequestingAccessibilitySwitchesItOnOnlyWhenOff)
{
    const PermissionState already = checker().requestAccessibility();
    EXPECT_EQ(already, (PermissionState {VellamorPermissionStatus::granted, QString()}));
    EXPECT_EQ(accessibility->enables, 0);

    accessibility->enabled = false;
    const PermissionState switched = checker().requestAccessibility();
    EXPECT_EQ(switched.status, VellamorPermissionStatus::granted);
    EXPECT_TRUE(switched.explanation.contains(QStringLiteral("重新启动"))) << switched.explanation.toStdString();
    EXPECT_EQ(accessibility->enables, 1);
    EXPECT_EQ(accessibility->enabled, true);

    accessibility->enabled = false;
    accessibility->refuses = true;
    EXPECT_EQ(checker().requestAccessibility().status, VellamorPermissionStatus::notDetermined);
    EXPECT_THAT(warnings(), ::testing::ElementsAre(QStringLiteral("cannot switch accessibility support on")));
}

TEST_F(PermissionCheckerTest, SnapshotAsksEverySystemEachTime)
{
    soundServer->answer = platform::SoundServerSnapshot {};
    accessibility->enabled = false;
    const auto first = checker().snapshot();
    EXPECT_EQ(first, (QMap<VellamorPermission, VellamorPermissionStatus> {
                         {VellamorPermission::microphone, VellamorPermissionStatus::denied},
                         {VellamorPermission::accessibility, VellamorPermissionStatus::notDetermined},
                         {VellamorPermission::inputMonitoring, VellamorPermissionStatus::granted}}));

    soundServer->answer = FakeSoundServer::oneMicrophone();
    accessibility->enabled = true;
    inputMonitoring->answer = InputMonitoringSupport::waylandSession;
    const auto second = checker().snapshot();
    EXPECT_EQ(second, (QMap<VellamorPermission, VellamorPermissionStatus> {
                          {VellamorPermission::microphone, VellamorPermissionStatus::granted},
                          {VellamorPermission::accessibility, VellamorPermissionStatus::granted},
                          {VellamorPermission::inputMonitoring, VellamorPermissionStatus::denied}}));
    EXPECT_EQ(soundServer->snapshotCount(), 2);
    EXPECT_EQ(accessibility->reads, 2);
    EXPECT_EQ(inputMonitoring->calls, 2);
}

TEST_F(PermissionCheckerTest, OpensTheFirstSettingsPageThatStarts)
{
    using Launch = QStringList;
    struct Case {
        const char* name;
        VellamorPermission permission;
        QSet<QString> installed;
        QSet<QString> failing;
        QList<Launch> launches;
        bool opened;
    };
    const QString gnome = QStringLiteral("gnome-control-center");
    const QString kde = QStringLiteral("systemsettings");
    const Case cases[] = {
        {"GNOME sound", VellamorPermission::microphone, {gnome, kde}, {}, {{gnome, QStringLiteral("sound")}}, true},
        {"KDE sound", VellamorPermission::microphone, {kde}, {}, {{kde, QStringLiteral("kcm_pulseaudio")}}, true},
        {"GNOME accessibility", VellamorPermission::accessibility, {gnome}, {}, {{gnome, QStringLiteral("universal-access")}}, true},
        {"KDE accessibility", VellamorPermission::accessibility, {kde}, {}, {{kde, QStringLiteral("kcm_access")}}, true},
        {"GNOME broken, KDE next", VellamorPermission::accessibility, {gnome, kde}, {gnome},
         {{gnome, QStringLiteral("universal-access")}, {kde, QStringLiteral("kcm_access")}}, true},
        {"no settings program", VellamorPermission::microphone, {}, {}, {}, false},
        {"input monitoring has no page", VellamorPermission::inputMonitoring, {gnome, kde}, {}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        launcher->installed = c.installed;
        launcher->failing = c.failing;
        launcher->launches.clear();
        EXPECT_EQ(checker().openSystemSettings(c.permission), c.opened);
        EXPECT_EQ(launcher->launches, c.launches);
    }
    EXPECT_THAT(warnings(), ::testing::ElementsAre(QStringLiteral("cannot start gnome-control-center"),
                                                   QStringLiteral("invalid settings url for microphone"),
                                                   QStringLiteral("invalid settings url for inputMonitoring")));
}

TEST(VellamorPermission, EachPermissionHasItsPrivacyPage)
{
    EXPECT_EQ(systemSettingsAnchor(VellamorPermission::microphone), QStringLiteral("Privacy_Microphone"));
    EXPECT_EQ(systemSettingsAnchor(VellamorPermission::accessibility), QStringLiteral("Privacy_Accessibility"));
    EXPECT_EQ(systemSettingsAnchor(VellamorPermission::inputMonitoring), QStringLiteral("Privacy_ListenEvent"));
    EXPECT_EQ(title(VellamorPermission::microphone), QStringLiteral("麦克风"));
    EXPECT_EQ(rationale(VellamorPermission::accessibility), QStringLiteral("Vellamor 需要辅助功能权限以模拟粘贴到光标位置。"));
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
        InputMonitoringSupport expected;
    };
    const Row rows[] = {
        // XWayland's DISPLAY does not make global keys visible.
        {environment({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}}), InputMonitoringSupport::waylandSession},
        {environment({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}), InputMonitoringSupport::waylandSession},
        {environment({}), InputMonitoringSupport::noDisplay},
        {environment({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":4242"}}), InputMonitoringSupport::noDisplay},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.env.toStringList().join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(platform::X11InputMonitoringProbe(row.env).probe(), row.expected);
    }
}

} // namespace
} // namespace vellamor::test
