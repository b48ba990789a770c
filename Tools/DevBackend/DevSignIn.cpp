// vellamor-dev-signin: signs a development account in against a running
// vellamor-devserver and leaves the session in the desktop's keyring, where
// the app's start-up restores it. A convenience of scripts/run and of the
// end-to-end test: the app itself only ever signs in through its own window.

#include "Auth/AuthSession.h"
#include "Auth/QtKeychainItemStore.h"
#include "Networking/ActionRequest.h"
#include "Networking/AuthAPI.h"
#include "Networking/AuthedSession.h"
#include "Settings/AppConfig.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Error.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

using namespace vellamor;

namespace {

// The code the devserver "mailed", which it keeps for tests.
QCoro::Task<QString> mailedCode(QUrl api, QString email)
{
    const ActionRequest request{QStringLiteral("dev.auth.lastCode"),
                                AnyEncodable(QJsonObject{{QStringLiteral("email"), email}}), KeyCasing::unchanged,
                                std::nullopt, std::chrono::seconds(10)};
    const HTTPResult result = co_await AuthedSession::shared()->data(request.to(api));
    const QJsonObject data = QJsonDocument::fromJson(result.data).object().value(QStringLiteral("data")).toObject();
    const QString code = data.value(QStringLiteral("code")).toString();
    if (code.isEmpty())
        throw std::runtime_error("the devserver mailed no code");
    co_return code;
}

QCoro::Task<void> signIn(AppConfig config, QString email)
{
    AuthAPI api(config.apiBaseURL, AuthedSession::shared());
    co_await api.requestUnifiedCode(email);
    const QString code = co_await mailedCode(config.apiBaseURL, email);
    const auto session = AuthSession::forApplication(config, std::make_shared<QtKeychainItemStore>());
    co_await session->loginWithUnifiedCode(email, code);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Signs a development account in and keeps it in the keyring."));
    parser.addHelpOption();
    const QCommandLineOption emailOption(QStringLiteral("email"), QStringLiteral("The account's address."),
                                         QStringLiteral("email"), QStringLiteral("dev@vellamor.local"));
    parser.addOption(emailOption);
    parser.process(app);

    // The same variables the app reads, so both talk to the same devserver.
    const AppConfig config = AppConfig::loadFromProcessEnvironment();
    try {
        runBlocking(signIn(config, parser.value(emailOption)), std::chrono::seconds(30));
    } catch (...) {
        std::fprintf(stderr, "sign-in failed: %s\n", qPrintable(describeException(std::current_exception())));
        return 1;
    }
    std::printf("signed in as %s\n", qPrintable(parser.value(emailOption)));
    return 0;
}
