#include "AsrSessionEndpoint.h"
#include "DefaultActions.h"
#include "DevInputSources.h"
#include "DevServer.h"
#include "DevStateFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

using namespace vellamor::devbackend;

namespace {

// Whether the clock run `skew` seconds off stays within the years 0001-9999,
// a pairing code's expiry included.
bool keepsFourDigitYears(qint64 skew)
{
    // Beyond this no skew can, and adding it could overflow.
    constexpr qint64 widestSpan = 10'000LL * 366 * 24 * 3600;
    if (skew > widestSpan || skew < -widestSpan)
        return false;
    const QDateTime now = QDateTime::currentDateTimeUtc().addSecs(skew);
    const QDateTime expiry = now.addSecs(std::chrono::seconds(DevInputSources::pairingLifetime).count());
    return now.date().year() >= 1 && expiry.date().year() <= 9999;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vellamor-devserver"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local development backend for Vellamor (127.0.0.1 only)."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on; 0 picks a free one."),
                                        QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
                                           QStringLiteral("Print each request on standard error."));
    const QCommandLineOption stateOption(QStringLiteral("state"),
        QStringLiteral("Keep accounts, sessions, records and sources in this file across restarts."),
        QStringLiteral("file"));
    const QCommandLineOption clockSkewOption(QStringLiteral("clock-skew"),
        QStringLiteral("Run the server's clock this many seconds ahead (negative: behind): the input-source times "
                       "and every answer's Date header."),
        QStringLiteral("seconds"), QStringLiteral("0"));
    parser.addOption(portOption);
    parser.addOption(clockSkewOption);
    parser.addOption(verboseOption);
    parser.addOption(stateOption);
    AsrSessionEndpoint::addCommandLineOptions(parser);
    parser.process(app);

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535) {
        std::fprintf(stderr, "invalid --port: %s\n", qPrintable(parser.value(portOption)));
        return 2;
    }

    const qint64 clockSkew = parser.value(clockSkewOption).toLongLong(&ok);
    if (!ok) {
        std::fprintf(stderr, "invalid --clock-skew: %s\n", qPrintable(parser.value(clockSkewOption)));
        return 2;
    }
    // Dates outside them have no text in the answers: an expiry would be "".
    if (!keepsFourDigitYears(clockSkew)) {
        std::fprintf(stderr, "invalid --clock-skew: %s puts the server's clock outside the years 0001-9999\n",
            qPrintable(parser.value(clockSkewOption)));
        return 2;
    }

    QString asrOptionError;
    const auto asrOptions = AsrSessionEndpoint::optionsFromCommandLine(parser, &asrOptionError);
    if (!asrOptions) {
        std::fprintf(stderr, "%s\n", qPrintable(asrOptionError));
        return 2;
    }

    DevServer server;
    server.setClockSkew(std::chrono::seconds(clockSkew));
    installDefaultActions(server);
    AsrSessionEndpoint::of(server)->setOptions(*asrOptions);
    if (parser.isSet(stateOption)) {
        auto* stateFile = new DevStateFile(server, parser.value(stateOption),
            [](const QString& line) { std::fprintf(stderr, "%s\n", qPrintable(line)); });
        stateFile->load();
    }
    if (parser.isSet(verboseOption)) {
        QObject::connect(&server, &DevServer::requestReceived, [](const QString& method, const QString& path) {
            std::fprintf(stderr, "%s %s\n", qPrintable(method), qPrintable(path));
        });
    }
    if (!server.listen(static_cast<quint16>(port))) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%u: %s\n", port, qPrintable(server.errorString()));
        return 1;
    }
    // Scripts and tests read this line to learn the port.
    std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(server.port()));
    std::fflush(stdout);
    return app.exec();
}
