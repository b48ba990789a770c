#pragma once

#include "WaitUntil.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <optional>

namespace vellamor::test {

// Chromium (Debian's) showing the page of three fields of the browser suite
// (Tests/Vellamor/TextInsertion/Targets/browser-fields.html) in an app window
// of a fresh profile, started once and ended with the object. The page tells
// its focused field and text through the window's name. Needs the headless
// desktop; used by the tests and the timing programs alike.
class BrowserPage {
public:
    enum class Field { textarea, input, editable };

    struct State {
        QString field; // "t", "i", "c", or empty
        QString text;
    };

    explicit BrowserPage(const QString& pagePath, const QStringList& extraArguments = {})
    {
        // A name of its own finds the window without mistaking another one.
        const QString windowClass = QStringLiteral("VellamorBrowser%1").arg(QCoreApplication::applicationPid());
        process_.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        process_.setStandardErrorFile(profile_.filePath(QStringLiteral("chromium.log")));
        process_.start(QStringLiteral("chromium"),
                       QStringList{QStringLiteral("--no-sandbox"), // the tests may run as root
                                   QStringLiteral("--user-data-dir=") + profile_.filePath(QStringLiteral("profile")),
                                   QStringLiteral("--ozone-platform=x11"), QStringLiteral("--disable-gpu"),
                                   QStringLiteral("--no-first-run"), QStringLiteral("--no-default-browser-check"),
                                   QStringLiteral("--disable-extensions"), QStringLiteral("--disable-sync"),
                                   QStringLiteral("--disable-background-networking"),
                                   QStringLiteral("--disable-component-update"),
                                   QStringLiteral("--disable-default-apps"), QStringLiteral("--password-store=basic"),
                                   QStringLiteral("--class=") + windowClass,
                                   QStringLiteral("--window-size=640,400")}
                           + extraArguments
                           + QStringList{QStringLiteral("--app=") + QUrl::fromLocalFile(pagePath).toString()});
        if (!process_.waitForStarted(10000))
            return;
        // Windows come and go while it starts (a search may fail on one
        // gone meanwhile): the page's is the one whose name the page set.
        const bool shown = waitUntil(
            [&] {
                const auto found = run({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--class"), windowClass});
                for (const QByteArray& id : found.value_or(QByteArray()).trimmed().split('\n')) {
                    window_ = QString::fromLatin1(id);
                    if (!id.isEmpty() && state())
                        return true;
                }
                return false;
            },
            std::chrono::seconds(30));
        if (!shown)
            window_.clear();
    }

    ~BrowserPage()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(3000);
    }

    BrowserPage(const BrowserPage&) = delete;
    BrowserPage& operator=(const BrowserPage&) = delete;

    bool isStarted() const { return !window_.isEmpty(); }
    const QString& windowId() const { return window_; }

    // Activates the window and focuses `field`, emptied; false when that
    // did not happen within 10 s.
    bool focus(Field field)
    {
        static const char* const keys[] = {"F1", "F2", "F3"};
        static const char* const ids[] = {"t", "i", "c"};
        const auto index = static_cast<int>(field);
        if (!run({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window_})
            || !run({QStringLiteral("key"), QLatin1String(keys[index])}))
            return false;
        const QString id = QLatin1String(ids[index]);
        return waitUntil(
            [&] {
                const auto now = state();
                return now && now->field == id && now->text.isEmpty();
            },
            std::chrono::seconds(10));
    }

    // As the page last reported it; none when the window's name cannot be read.
    std::optional<State> state()
    {
        const auto name = run({QStringLiteral("getwindowname"), window_});
        if (!name)
            return std::nullopt;
        const QJsonObject page = QJsonDocument::fromJson(name->trimmed()).object();
        if (page.isEmpty())
            return std::nullopt;
        return State{page.value(QStringLiteral("f")).toString(), page.value(QStringLiteral("v")).toString()};
    }

    // Waits until the focused field holds `expected`; the last text seen otherwise.
    QString waitForText(const QString& expected, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        QString seen;
        waitUntil(
            [&] {
                if (const auto now = state())
                    seen = now->text;
                return seen == expected;
            },
            timeout);
        return seen;
    }

private:
    // Runs xdotool to its end; its output, none on failure. Blocks: callers
    // poll with it inside waitUntil(), whose loop must not run meanwhile.
    static std::optional<QByteArray> run(const QStringList& arguments,
                                         std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"), arguments);
        if (!xdotool.waitForFinished(static_cast<int>(timeout.count()))) {
            xdotool.kill();
            xdotool.waitForFinished();
            return std::nullopt;
        }
        if (xdotool.exitStatus() != QProcess::NormalExit || xdotool.exitCode() != 0)
            return std::nullopt;
        return xdotool.readAllStandardOutput();
    }

    QTemporaryDir profile_;
    QProcess process_;
    QString window_;
};

} // namespace vellamor::test
