#pragma once

#include "WaitUntil.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

namespace vellamor::test {

// Debian's Chromium showing Targets/browser-fields.html (or another address)
// in an app window of a fresh profile, until the object ends. The test page
// names its window "[<focused field's id>]<its text>". Needs the headless
// desktop.
class BrowserPage {
public:
    enum class Field { textarea, input, editable, readOnly };
    // Chromium shows its fields on the bus only when told or when it sees
    // assistive technology it knows.
    enum class Accessibility { unknown, forced };

    explicit BrowserPage(const QString& page, Accessibility accessibility = Accessibility::unknown)
        : BrowserPage(QUrl::fromLocalFile(page), QStringLiteral("^\\["), accessibility)
    {
    }

    // Any address, its window found by a title matching `title` (xdotool's
    // regular expression); the field methods below need the test page.
    BrowserPage(const QUrl& address, const QString& title, Accessibility accessibility = Accessibility::unknown)
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

    // Activates the window and focuses `which`, emptied unless read-only (F1 to F4 on the page).
    bool focus(Field which)
    {
        const auto index = static_cast<int>(which);
        field_ = QStringLiteral("[%1]").arg(QStringLiteral("ticr")[index]);
        xdotool(QStringLiteral("windowactivate --sync ") + window_);
        xdotool(QStringLiteral("key F%1").arg(index + 1));
        const QString shown = field_ + (which == Field::readOnly ? readOnlyText() : QString());
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
        const QString awaited = field_ + named(expected);
        waitUntil([&] { return (seen = xdotool(QStringLiteral("getwindowname ") + window_)) == awaited; });
        if (seen == awaited)
            return expected;
        return seen.startsWith(field_) ? seen.mid(field_.size()) : seen;
    }

private:
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
};

} // namespace vellamor::test
