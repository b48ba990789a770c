#pragma once

#include "Platform/Pasteboard/X11SelectionBroker.h"

#include "DesktopTest.h"
#include "WaitUntil.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <optional>

namespace vellamor::test {

// Runs a program to its end with the event loop running (so this process can
// serve the clipboard meanwhile) and gives its standard output; none when it
// fails or hangs.
inline std::optional<QByteArray> outputOf(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; })) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.error() != QProcess::UnknownError || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

// The visible window of a process, once it shows one.
// A selection's data in `format`, as another client reads it.
inline QByteArray clipboardContent(const char* selection, const char* format)
{
    return outputOf(QStringLiteral("xclip"),
                    {QStringLiteral("-o"), QStringLiteral("-selection"), QString::fromLatin1(selection),
                     QStringLiteral("-t"), QString::fromLatin1(format)})
        .value_or(QByteArrayLiteral("<unreadable>"));
}

// Loans that end within a second of the target's last request.
inline platform::X11SelectionBroker::Limits shortLoans()
{
    platform::X11SelectionBroker::Limits limits;
    limits.ledger.loan.quiet = std::chrono::milliseconds(300);
    limits.ledger.loan.grace = std::chrono::milliseconds(300);
    return limits;
}

inline std::optional<QString> windowOf(qint64 processId)
{
    const auto found = outputOf(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"),
                                                            QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                                            QString::number(processId)});
    if (!found)
        return std::nullopt;
    return QString::fromLatin1(found->trimmed().split('\n').last());
}

// One of the target programs (see Targets/TargetProtocol.h), ready once its
// window is active with the field focused, or once it holds the clipboards.
// It ends with the object.
class TextTarget {
public:
    TextTarget(const QString& program, const QStringList& arguments)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_ACCESSIBILITY"));
        process_.setProcessEnvironment(environment);
        process_.start(program, arguments);
        waitUntil([&] {
            update();
            return windowId_.has_value();
        });
        if (windowId_ == QStringLiteral("0"))
            windowId_ = windowOf(process_.processId());
        if (windowId_ && windowId_->isEmpty())
            ready_ = true;
        else if (windowId_ && xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), *windowId_}))
            ready_ = waitUntil([&] { return isFocused(); });
        EXPECT_TRUE(ready_) << program.toStdString() << " did not become ready";
    }

    ~TextTarget()
    {
        process_.kill();
        process_.waitForFinished(3000);
    }

    bool isReady() const { return ready_; }
    qint64 processId() const { return process_.processId(); }

    bool isFocused()
    {
        update();
        return focused_;
    }

    // Waits until the field holds `expected`; the last text seen otherwise.
    QString waitForText(const QString& expected, std::chrono::milliseconds timeout = hangCeiling)
    {
        waitUntil(
            [&] {
                update();
                return text_ == expected;
            },
            timeout);
        return text_;
    }

private:
    // Takes in what the program reported so far.
    void update()
    {
        while (process_.canReadLine()) {
            const QString line = QString::fromUtf8(process_.readLine()).chopped(1);
            if (line.startsWith(QStringLiteral("ready "))) {
                windowId_ = line == QStringLiteral("ready none") ? QString() : line.mid(6);
            } else {
                focused_ = line.startsWith(u'1');
                text_ = line.mid(2);
            }
        }
    }

    QProcess process_;
    // Empty for a program without a window.
    std::optional<QString> windowId_;
    bool ready_ = false;
    bool focused_ = false;
    QString text_;
};

} // namespace vellamor::test
