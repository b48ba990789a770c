#pragma once

#include "WaitUntil.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <optional>

namespace vellamor::test {

// Debian's Chromium showing Tests/Vellamor/TextInsertion/Targets/
// browser-fields.html in an app window of a fresh profile, until the object
// ends. The page tells its focused field and text through the window's name.
// Needs the headless desktop; the tests and the timing programs use it.
class BrowserPage {
public:
    enum class Field { textarea, input, editable };

    explicit BrowserPage(const QString& page)
    {
        const QString windowClass = QStringLiteral("VellamorBrowser%1").arg(QCoreApplication::applicationPid());
        process_.setStandardErrorFile(profile_.filePath(QStringLiteral("chromium.log")));
        process_.start(QStringLiteral("chromium"),
                       {QStringLiteral("--no-sandbox"), // the tests may run as root
                        QStringLiteral("--user-data-dir=") + profile_.path(), QStringLiteral("--ozone-platform=x11"),
                        QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
                        QStringLiteral("--disable-extensions"), QStringLiteral("--disable-background-networking"),
                        QStringLiteral("--disable-component-update"), QStringLiteral("--password-store=basic"),
                        QStringLiteral("--class=") + windowClass,
                        QStringLiteral("--app=") + QUrl::fromLocalFile(page).toString()});
        // Windows come and go while it starts: the page's is the one named by the page.
        waitUntil(
            [&] {
                const QByteArray found = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                  QStringLiteral("--class"), windowClass})
                                             .value_or(QByteArray());
                for (const QByteArray& id : found.trimmed().split('\n')) {
                    window_ = QString::fromLatin1(id);
                    if (field())
                        return true;
                }
                window_.clear();
                return false;
            },
            std::chrono::seconds(30));
    }

    ~BrowserPage()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }

    bool isStarted() const { return !window_.isEmpty(); }
    const QString& windowId() const { return window_; }

    // Activates the window and focuses `which`, emptied (F1 to F3 on the page).
    bool focus(Field which)
    {
        const auto index = static_cast<int>(which);
        return xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window_})
            && xdotool({QStringLiteral("key"), QStringLiteral("F%1").arg(index + 1)})
            && waitForText(QString(), QStringLiteral("tic").mid(index, 1)) == QString();
    }

    // Once the focused field (`fieldId` when given) holds `expected`; the
    // last text seen otherwise.
    QString waitForText(const QString& expected, const QString& fieldId = {})
    {
        QString seen = QStringLiteral("<none>");
        waitUntil(
            [&] {
                const auto now = field();
                if (now && (fieldId.isEmpty() || now->value(QStringLiteral("f")) == fieldId))
                    seen = now->value(QStringLiteral("v")).toString();
                return seen == expected;
            },
            std::chrono::seconds(10));
        return seen;
    }

private:
    std::optional<QJsonObject> field()
    {
        const auto name = xdotool({QStringLiteral("getwindowname"), window_});
        const QJsonObject page = QJsonDocument::fromJson(name.value_or(QByteArray())).object();
        return page.isEmpty() ? std::nullopt : std::optional(page);
    }

    // Blocks: callers poll with it inside waitUntil(), whose loop must not run meanwhile.
    static std::optional<QByteArray> xdotool(const QStringList& arguments)
    {
        QProcess tool;
        tool.start(QStringLiteral("xdotool"), arguments);
        if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
            return std::nullopt;
        return tool.readAllStandardOutput();
    }

    QTemporaryDir profile_;
    QProcess process_;
    QString window_;
};

} // namespace vellamor::test
