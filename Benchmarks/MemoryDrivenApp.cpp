// The application exactly as `vellamor` runs it, plus commands on standard
// input for the memory benchmark, each answered "ok" once done:
//   "open"  the settings window through every section, the history panel
//           and the dictionary window, each as the menu opens it;
//   "close" closes them as the user does (the window's close button, the
//           panel's Escape).
#include "App/AppContainer.h"
#include "App/AppDelegate.h"
#include "App/ProcessEntry.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <cstdio>

using namespace vellamor;

namespace {

// Runs the event loop for a while: each page builds and paints.
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void run(AppContainer& container, const QByteArray& command)
{
    if (command == "open") {
        for (const SettingsSection section : allSettingsSections) {
            container.settingsWindow().show(section);
            settle(300);
        }
        container.historyWindow().show();
        settle(300);
        container.dictionaryWindow().show();
        settle(300);
    } else if (command == "close") {
        if (QWidget* settings = container.settingsWindow().window())
            settings->close();
        if (QWidget* dictionary = container.dictionaryWindow().window())
            dictionary->close();
        container.historyWindow().close();
        settle(100);
    }
}

} // namespace

int main(int argc, char** argv)
{
    return runProcess(argc, argv, [](AppDelegate& delegate) {
        auto* commands = new QSocketNotifier(0, QSocketNotifier::Read, &delegate);
        QObject::connect(commands, &QSocketNotifier::activated, &delegate, [&delegate] {
            char line[64] = {};
            if (!std::fgets(line, sizeof line, stdin))
                return QApplication::quit();
            if (AppContainer* container = delegate.container())
                run(*container, QByteArray(line).trimmed());
            QTextStream(stdout) << "ok" << Qt::endl;
        });
    });
}
