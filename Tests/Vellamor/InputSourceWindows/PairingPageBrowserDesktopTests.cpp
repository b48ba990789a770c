#include "BrowserPage.h"
#include "DesktopTest.h"
#include "QtPrinters.h"
#include "RecordingUnauthorizedHandler.h"
#include "WaitUntil.h"

#include "DefaultActions.h"
#include "DevInputSources.h"
#include "DevServer.h"
#include "InputSources/InputSourceAPI.h"
#include "Networking/AuthedSession.h"
#include "Support/Async/RunBlocking.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using devbackend::DevInputSources;

// The devserver's page of a bound phone in Chromium on this desktop, where
// the window in front, into which the app types what the phone sends, is
// the browser showing the page.
class PairingPageBrowser : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        devbackend::installDefaultActions(server);
        ASSERT_TRUE(server.listen(0));
    }

    // The page of a phone bound to an account of its own and confirmed.
    QUrl boundPhonePage()
    {
        InputSourceAPI api(server.baseURL(), server.baseURL(), std::make_shared<AuthedSession>(),
            []() -> QCoro::Task<std::optional<QString>> { co_return QStringLiteral("browser"); },
            std::make_shared<RecordingUnauthorizedHandler>());
        const auto phone
            = DevInputSources::of(server)->claim(runBlocking(api.createPairing()).code, QStringLiteral("Chromium"));
        EXPECT_TRUE(phone);
        runBlocking(api.confirmPairing(phone ? phone->sourceID : -1, true));
        QUrl page = server.baseURL().resolved(QUrl(QStringLiteral("/pair/source")));
        page.setQuery(QStringLiteral("token=") + (phone ? phone->sourceToken : QString()));
        return page;
    }

    // The texts the page has sent, in order.
    QStringList sent() const
    {
        QStringList texts;
        for (const devbackend::DevHttpRequest& request : server.requests()) {
            if (request.method == u"POST" && request.path == u"/pair/source") {
                QByteArray body = request.body;
                texts.append(QUrlQuery(QString::fromUtf8(body.replace('+', ' ')))
                                 .queryItemValue(QStringLiteral("text"), QUrl::FullyDecoded));
            }
        }
        return texts;
    }

    devbackend::DevServer server;
};

// Typed back as soon as it reaches the server, as the app does, the text
// lands whole in the page's field, which sends it again: the page neither
// reloads under it nor leaves the cursor on a button.
TEST_F(PairingPageBrowser, TextTypedBackIntoThePageIsNotCutByIt)
{
    const BrowserPage browser(boundPhonePage(), QStringLiteral("已绑定"));
    ASSERT_TRUE(browser.isStarted());
    const QString text = QStringLiteral("page send test");
    ASSERT_TRUE(xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), browser.windowId() }));
    for (int round = 1; round <= 2; ++round) {
        ASSERT_TRUE(xdotool({ QStringLiteral("type"), text }));
        ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Tab"), QStringLiteral("Return") }));
        ASSERT_TRUE(waitUntil([&] { return sent().size() == round; }));
    }
    EXPECT_EQ(sent(), (QStringList { text, text }));
}

} // namespace
} // namespace vellamor::test
