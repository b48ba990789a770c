#include "DesktopTest.h"
#include "FakeAccessibilityStatus.h"
#include "FakeAuthAPI.h"
#include "FakeCommandLauncher.h"
#include "FakeInputMonitoringProbe.h"
#include "FakeInputSourceAPI.h"
#include "FakeSoundServer.h"
#include "InMemorySecureItemStore.h"
#include "WidgetRendering.h"

#include "AccountWindows/AuthSheet.h"
#include "Auth/AuthSession.h"
#include "Auth/KeychainStore.h"
#include "HistoryWindows/DictEditorSheet.h"
#include "InputSourceWindows/PairingConfirmDialog.h"
#include "InputSourceWindows/PairingSheet.h"
#include "Onboarding/OnboardingViewModel.h"
#include "Onboarding/OnboardingWindow.h"
#include "Settings/UserDefaults.h"

#include <QTemporaryDir>

#include <memory>

namespace vellamor::test
{
namespace
{

// What xprop reads of `window`'s properties, once the window manager has
// set the actions it allows.
QString windowManagerView(QWidget& window)
{
    QString seen;
    const bool managed = waitUntil([&] {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"),
            { QStringLiteral("-id"), QString::number(window.winId()), QStringLiteral("_NET_WM_ALLOWED_ACTIONS"),
                QStringLiteral("_MOTIF_WM_HINTS") });
        if (!xprop.waitForFinished(5000))
            return false;
        seen = QString::fromUtf8(xprop.readAllStandardOutput());
        return seen.contains(QStringLiteral("_NET_WM_ACTION_CLOSE"));
    });
    EXPECT_TRUE(managed) << seen.toStdString();
    return seen;
}

// The motif functions a window asks for: the second field of _MOTIF_WM_HINTS.
unsigned motifFunctions(const QString& seen)
{
    const qsizetype at = seen.indexOf(QStringLiteral("_MOTIF_WM_HINTS"));
    const QStringList fields = seen.mid(seen.indexOf(u'=', at) + 1).section(u'\n', 0, 0).split(u',');
    return fields.size() > 1 ? fields[1].trimmed().toUInt(nullptr, 16) : 0;
}

// The windows whose size never changes ask the window manager for a close
// button only; this one (openbox) then offers no maximise and no resize. It
// keeps its minimise, which its rules never take from a dialog.
using FixedDialogDesktopTest = DesktopTest;

TEST_F(FixedDialogDesktopTest, FixedSizeWindowsAskForACloseButtonOnly)
{
    QTemporaryDir folder;
    auto authAPI = std::make_shared<FakeAuthAPI>();
    auto session = std::make_shared<AuthSession>(authAPI,
        std::make_shared<KeychainStore>(std::make_shared<InMemorySecureItemStore>(),
            QStringLiteral("com.vellamor.app.auth"), QStringLiteral("session")),
        VellamorLog(QStringLiteral("t"), QStringLiteral("auth"), nullptr, nullptr), &Date::now,
        std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini"))));
    auto checker = std::make_shared<PermissionChecker>(
        PermissionChecker::Facilities {
            std::make_shared<FakeInputMonitoringProbe>(platform::InputMonitoringSupport::available),
            std::make_shared<FakeSoundServer>(), std::make_shared<FakeAccessibilityStatus>(false),
            std::make_shared<FakeCommandLauncher>() },
        VellamorLog(QStringLiteral("t"), QStringLiteral("permission"), nullptr, nullptr));
    OnboardingViewModel guide(checker, session->publisher());

    std::vector<std::pair<const char*, std::unique_ptr<QWidget>>> windows;
    windows.emplace_back(
        "guide", std::make_unique<OnboardingWindow>(guide, QStringLiteral("右 Ctrl"), OnboardingWindow::Callbacks {}));
    windows.emplace_back("sign-in sheet", std::make_unique<AuthSheet>(authAPI, session));
    windows.emplace_back("dictionary editor",
        std::make_unique<DictEditorSheet>(std::nullopt, [](const QString&, const QString&, const QString&) {}));
    windows.emplace_back("pairing dialog",
        std::make_unique<PairingConfirmDialog>(
            PairingRequestPayload { 7, QStringLiteral("Pixel 7"), QStringLiteral("10.0.0.2"), {}, 0 }));
    auto pairingAPI = std::make_shared<FakeInputSourceAPI>();
    windows.emplace_back("pairing sheet", std::make_unique<PairingSheet>(pairingAPI));
    constexpr unsigned minimise = 0x8;
    constexpr unsigned maximise = 0x10;
    constexpr unsigned close = 0x20;
    for (auto& [name, window] : windows) {
        SCOPED_TRACE(name);
        window->show();
        const QString seen = windowManagerView(*window);
        EXPECT_EQ(motifFunctions(seen) & (minimise | maximise | close), close) << seen.toStdString();
        EXPECT_FALSE(seen.contains(QStringLiteral("_NET_WM_ACTION_MAXIMIZE"))) << seen.toStdString();
        EXPECT_FALSE(seen.contains(QStringLiteral("_NET_WM_ACTION_RESIZE"))) << seen.toStdString();
        window->hide();
    }
    windows.clear();
    pairingAPI->failWaiting();
    settleWidgets();
}

} // namespace
} // namespace vellamor::test
