#include "TextTarget.h"

#include "DesktopTest.h"
#include "WaitUntil.h"

#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace vellamor::test {

using namespace std::chrono_literals;

QString hex(const QString& text)
{
    return QString::fromLatin1(text.toUtf8().toHex());
}

QString TextTarget::qtProgram()
{
    return QStringLiteral(VELLAMOR_QT_TEXT_TARGET);
}

QString TextTarget::gtkProgram()
{
    return QStringLiteral(VELLAMOR_GTK_TEXT_TARGET);
}

TextTarget::TextTarget(const QString& program, const QStringList& arguments)
    : process_(std::make_unique<QProcess>())
{
    process_->setReadChannel(QProcess::StandardOutput);
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The targets are built with the sanitizers too; the toolkits' own
    // leaks at exit are none of these tests' business.
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    environment.remove(QStringLiteral("QT_ACCESSIBILITY"));
    process_->setProcessEnvironment(environment);
    process_->start(program, arguments);
    if (!process_->waitForStarted(10000)) {
        ADD_FAILURE() << "cannot start " << program.toStdString();
        return;
    }
    const auto ready = readLine(15000);
    if (!ready || !ready->startsWith(QLatin1String("ready "))) {
        ADD_FAILURE() << program.toStdString() << " did not become ready";
        return;
    }
    const QString word = ready->mid(6);
    unsigned long windowId = word.toULong();
    if (word == QLatin1String("0")) {
        const auto found = outputOf(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"),
                                                                QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                                                QString::number(process_->processId())});
        if (!found) {
            ADD_FAILURE() << program.toStdString() << " shows no window";
            return;
        }
        windowId = found->trimmed().split('\n').last().toULong();
    }
    windowId_ = windowId;
}

TextTarget::~TextTarget()
{
    if (process_->state() == QProcess::NotRunning)
        return;
    process_->write("quit\n");
    process_->closeWriteChannel();
    if (!waitUntil([&] { return process_->state() == QProcess::NotRunning; }, 3s)) {
        process_->kill();
        process_->waitForFinished(3000);
    }
}

std::optional<QString> TextTarget::readLine(int timeoutMs)
{
    // Blocking on purpose: callers poll from inside waitUntil(), and a nested
    // event loop would let the poll re-enter and take another call's answer.
    QDeadlineTimer deadline(timeoutMs);
    while (!buffer_.contains('\n') && process_->state() != QProcess::NotRunning && !deadline.hasExpired()) {
        process_->waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        buffer_ += process_->readAllStandardOutput();
    }
    const qsizetype end = buffer_.indexOf('\n');
    if (end < 0)
        return std::nullopt;
    const QString line = QString::fromUtf8(buffer_.left(end));
    buffer_.remove(0, end + 1);
    return line;
}

std::optional<QString> TextTarget::command(const QString& line)
{
    if (!isReady())
        return std::nullopt;
    process_->write(line.toUtf8() + '\n');
    const auto answer = readLine(5000);
    if (!answer) {
        ADD_FAILURE() << "no answer to " << line.toStdString()
                      << (process_->state() == QProcess::NotRunning
                              ? " (the target ended with " + std::to_string(process_->exitCode()) + ", "
                                    + (process_->exitStatus() == QProcess::CrashExit ? "crashed)" : "normally)")
                              : std::string());
    }
    return answer;
}

std::optional<TextTarget::State> TextTarget::state()
{
    const auto answer = command(QStringLiteral("state"));
    if (!answer)
        return std::nullopt;
    const QStringList words = answer->split(QLatin1Char(' '));
    if (words.size() < 3 || words[0] != QLatin1String("state")) {
        ADD_FAILURE() << "unexpected answer " << answer->toStdString();
        return std::nullopt;
    }
    return State{words[1] == QLatin1String("1"), words[2] == QLatin1String("1"),
                 QString::fromUtf8(QByteArray::fromHex(words.value(3).toLatin1()))};
}

bool TextTarget::activate()
{
    if (!isReady())
        return false;
    if (!xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(windowId_.value())}))
        return false;
    const bool focused = waitUntil(
        [&] {
            const auto s = state();
            return s && s->active && s->focused;
        },
        5s);
    EXPECT_TRUE(focused) << "the target window did not get the focus";
    return focused;
}

bool TextTarget::setText(const QString& text)
{
    return command(QStringLiteral("set ") + hex(text)) == QStringLiteral("ok");
}

bool TextTarget::setCaretAfter(const QString& prefix)
{
    return command(QStringLiteral("caret ") + hex(prefix)) == QStringLiteral("ok");
}

bool TextTarget::select(const QString& prefix, const QString& selected)
{
    return command(QStringLiteral("select ") + hex(prefix) + QLatin1Char(' ') + hex(selected))
        == QStringLiteral("ok");
}

QString TextTarget::waitForText(const QString& expected, int timeoutMs)
{
    QString last;
    waitUntil(
        [&] {
            const auto s = state();
            if (s)
                last = s->text;
            return s && s->text == expected;
        },
        std::chrono::milliseconds(timeoutMs));
    return last;
}

QStringList TextTarget::keys()
{
    const auto answer = command(QStringLiteral("keys"));
    if (!answer)
        return {};
    QStringList words = answer->split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!words.isEmpty())
        words.removeFirst();
    return words;
}

std::optional<QByteArray> outputOf(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return std::nullopt;
    QByteArray output;
    const bool ended = waitUntil(
        [&] {
            output += process.readAllStandardOutput();
            return process.state() == QProcess::NotRunning;
        },
        10s);
    if (!ended) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    output += process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return output;
}

} // namespace vellamor::test
