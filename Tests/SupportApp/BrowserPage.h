#pragma once

#include "WaitUntil.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

namespace vellamor::test {

// Debian's Chromium showing Targets/browser-fields.html (or another address)
// in an app window of a fresh profile, until the object ends; for benchmarks
// also Firefox ESR, which the tests do not need. The test page names its
// window "[<focused field's id>]<its text>", to which Firefox adds its own
// name. Needs the headless desktop.
class BrowserPage {
public:
    enum class Field { textarea, input, editable, readOnly };
    // Chromium shows its fields on the bus only when told or when it sees
    // assistive technology it knows.
    enum class Accessibility { unknown, forced };
    enum class Browser { chromium, firefox };

    explicit BrowserPage(const QString& page, Accessibility accessibility = Accessibility::unknown)
        : BrowserPage(QUrl::fromLocalFile(page), QStringLiteral("^\\["), accessibility)
    {
    }

    // Firefox follows the desktop's accessibility switch, which the headless
    // desktop turns on.
    BrowserPage(Browser browser, const QString& page)
        : BrowserPage(QUrl::fromLocalFile(page), QStringLiteral("^\\["), Accessibility::unknown, browser)
    {
    }

    // Any address, its window found by a title matching `title` (xdotool's
    // regular expression); the field methods below need the test page.
    BrowserPage(const QUrl& address, const QString& title, Accessibility accessibility = Accessibility::unknown,
                Browser browser = Browser::chromium)
    {
        if (browser == Browser::firefox)
            startFirefox(address);
        else
            startChromium(address, accessibility);
        // Windows come and go while it starts: the page's is the one the page names.
        const QString search = QStringLiteral("search --onlyvisible --name ") + title;
        waitUntil([&] { return !(window_ = xdotool(search)).isEmpty(); });
    }

    // Chromium gets 5 s to end its other processes; QProcess kills it after that.
    ~BrowserPage()
    {
        process_.terminate();
        process_.waitForFinished(5000);
    }

    // What the read-only field always holds.
    static QString readOnlyText() { return QStringLiteral("只读"); }

    bool isStarted() const { return !window_.isEmpty(); }
    const QString& windowId() const { return window_; }
    // What the browser adds to the page's title in the window's name.
    const QString& titleSuffix() const { return titleSuffix_; }

    // Activates the window and focuses `which`, emptied unless read-only (F1 to F4 on the page).
    bool focus(Field which)
    {
        const auto index = static_cast<int>(which);
        field_ = QStringLiteral("[%1]").arg(QStringLiteral("ticr")[index]);
        xdotool(QStringLiteral("windowactivate --sync ") + window_);
        xdotool(QStringLiteral("key F%1").arg(index + 1));
        const QString shown = field_ + (which == Field::readOnly ? readOnlyText() : QString()) + titleSuffix_;
        return waitUntil([&] { return xdotool(QStringLiteral("getwindowname ") + window_) == shown; });
    }

    // As the page names a text in its title (see browser-fields.html).
    static QString named(const QString& text)
    {
        if (text.size() <= 1000)
            return text;
        quint32 hash = 2166136261u;
        for (const QChar unit : text)
            hash = (hash ^ unit.unicode()) * 16777619u;
        return QStringLiteral("#%1:%2").arg(text.size()).arg(hash);
    }

    // Once the field focus() chose holds `expected`; what the page shows
    // otherwise. A long text is compared by the name the page gives it.
    QString waitForText(const QString& expected)
    {
        QString seen;
        const QString awaited = field_ + named(expected) + titleSuffix_;
        waitUntil([&] { return (seen = xdotool(QStringLiteral("getwindowname ") + window_)) == awaited; });
        if (seen == awaited)
            return expected;
        if (seen.endsWith(titleSuffix_))
            seen.chop(titleSuffix_.size());
        return seen.startsWith(field_) ? seen.mid(field_.size()) : seen;
    }

private:
    void startChromium(const QUrl& address, Accessibility accessibility)
    {
        process_.setStandardErrorFile(profile_.filePath(QStringLiteral("chromium.log")));
        QStringList arguments = QStringLiteral("--no-sandbox --ozone-platform=x11 --disable-gpu --no-first-run "
                                               "--disable-extensions --disable-background-networking "
                                               "--disable-component-update --password-store=basic")
                                    .split(u' '); // --no-sandbox: the tests may run as root
        if (accessibility == Accessibility::forced)
            arguments << QStringLiteral("--force-renderer-accessibility");
        process_.start(QStringLiteral("chromium"),
                       arguments << QStringLiteral("--user-data-dir=") + profile_.path()
                                 << QStringLiteral("--app=") + address.toString());
    }

    // A fresh profile whose first start shows the page alone: no welcome
    // tab, no question about the default browser, no update.
    void startFirefox(const QUrl& address)
    {
        QFile prefs(profile_.filePath(QStringLiteral("user.js")));
        if (prefs.open(QIODevice::WriteOnly))
            prefs.write("user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                        "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
                        "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
                        "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
                        "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
                        "user_pref(\"app.update.auto\", false);\n");
        prefs.close();
        process_.setStandardErrorFile(profile_.filePath(QStringLiteral("firefox.log")));
        process_.start(QStringLiteral("firefox-esr"), {QStringLiteral("--no-remote"), QStringLiteral("--new-instance"),
                                                       QStringLiteral("--profile"), profile_.path(), address.toString()});
        titleSuffix_ = QStringLiteral(" — Mozilla Firefox");
    }

    // The first line of its output; empty when it failed. Blocks: it polls
    // inside waitUntil(), whose loop must not run meanwhile.
    static QString xdotool(const QString& command)
    {
        QProcess tool;
        tool.start(QStringLiteral("xdotool"), command.split(u' '));
        const bool ran = tool.waitForFinished(static_cast<int>(hangCeiling.count()))
            && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
        return ran ? QString::fromUtf8(tool.readAllStandardOutput()).section(u'\n', 0, 0) : QString();
    }

    QTemporaryDir profile_;
    QProcess process_;
    QString window_;
    QString field_;
    QString titleSuffix_;
};

} // namespace vellamor::test
