#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace vellamor::test {

// One of the target programs of the text-insertion desktop tests (a Qt or a
// GTK window with a text field, or a clipboard owner), driven over its
// standard input and output while this process's event loop keeps running.
// Failures are reported as test failures; the program ends with the object.
class TextTarget {
public:
    struct State {
        bool active = false;
        bool focused = false;
        QString text;
    };

    static QString qtProgram();
    static QString gtkProgram();

    TextTarget(const QString& program, const QStringList& arguments);
    ~TextTarget();

    TextTarget(const TextTarget&) = delete;
    TextTarget& operator=(const TextTarget&) = delete;

    bool isReady() const { return windowId_.has_value(); }
    // 0 for a target without a window.
    unsigned long windowId() const { return windowId_.value_or(0); }

    // Activates the window and waits until it and its field have the focus.
    bool activate();

    std::optional<State> state();
    bool setText(const QString& text);
    bool setCaretAfter(const QString& prefix);
    bool select(const QString& prefix, const QString& selected);
    // Waits until the field holds `expected`; the last text seen otherwise.
    QString waitForText(const QString& expected, int timeoutMs = 5000);
    // The key presses the field saw, as "<key>:<modifiers>" in the toolkit's numbers.
    QStringList keys();

private:
    std::optional<QString> command(const QString& line);
    std::optional<QString> readLine(int timeoutMs);

    std::unique_ptr<QProcess> process_;
    QByteArray buffer_;
    std::optional<unsigned long> windowId_;
};

// Runs a program to its end with the event loop running (so this process can
// serve the clipboard meanwhile) and gives its standard output; none when it
// fails or takes longer than 10 s.
std::optional<QByteArray> outputOf(const QString& program, const QStringList& arguments);

QString hex(const QString& text);

} // namespace vellamor::test
