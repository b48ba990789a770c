// A window with one text field for the text-insertion desktop tests, driven
// over standard input and output, one line each way per command; texts
// travel as hexadecimal UTF-8:
//   state                      -> "state <active 0|1> <focused 0|1> <text>"
//   set <text>                 -> "ok" (caret at the end)
//   caret <prefix>             -> "ok" (caret after the prefix)
//   select <prefix> <selected> -> "ok"
//   keys                       -> "keys <key>:<modifiers> ..." (presses seen so far)
// Started as "owner <text> <html>" it shows no window and holds both
// clipboards with that text, that HTML and a small PNG image until it ends.
// After "ready <window id>" (or "ready none") it accepts commands.

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace {

QString fromHex(const QString& hex)
{
    return QString::fromUtf8(QByteArray::fromHex(hex.toLatin1()));
}

QByteArray toHex(const QString& text)
{
    return text.toUtf8().toHex();
}

void reply(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QImage sampleImage()
{
    QImage image(4, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x)
            image.setPixel(x, y, qRgb(60 * x, 80 * y, 200));
    }
    return image;
}

QMimeData* ownedData(const QString& text, const QString& html)
{
    auto* data = new QMimeData;
    data->setText(text);
    data->setHtml(html);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    sampleImage().save(&buffer, "PNG");
    data->setData(QStringLiteral("image/png"), png);
    return data;
}

class KeyRecorder : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            presses << QByteArray::number(key->key()) + ':' + QByteArray::number(key->modifiers().toInt());
        }
        return QObject::eventFilter(watched, event);
    }

    QList<QByteArray> presses;
};

class Target {
public:
    explicit Target(bool multiLine)
    {
        if (multiLine)
            edit_ = new QTextEdit(&window_);
        else
            line_ = new QLineEdit(&window_);
        QWidget* field = edit_ ? static_cast<QWidget*>(edit_) : line_;
        (new QVBoxLayout(&window_))->addWidget(field);
        field->installEventFilter(&keys_);
        window_.setWindowTitle(QStringLiteral("vellamor text target"));
        window_.resize(420, multiLine ? 200 : 80);
        window_.show();
        field->setFocus();
    }

    WId windowId() { return window_.winId(); }

    QByteArray handle(const QList<QByteArray>& words)
    {
        const QByteArray command = words.value(0);
        if (command == "state") {
            const bool focused = edit_ ? edit_->hasFocus() : line_->hasFocus();
            return "state " + QByteArray(window_.isActiveWindow() ? "1" : "0") + ' ' + (focused ? "1" : "0") + ' '
                + toHex(text());
        }
        if (command == "set" && words.size() >= 1) {
            const QString value = fromHex(QString::fromLatin1(words.value(1)));
            if (edit_) {
                edit_->setPlainText(value);
                edit_->moveCursor(QTextCursor::End);
            } else {
                line_->setText(value);
            }
            return "ok";
        }
        if (command == "caret") {
            setSelection(fromHex(QString::fromLatin1(words.value(1))).size(), 0);
            return "ok";
        }
        if (command == "select") {
            setSelection(fromHex(QString::fromLatin1(words.value(1))).size(),
                         fromHex(QString::fromLatin1(words.value(2))).size());
            return "ok";
        }
        if (command == "keys")
            return "keys " + keys_.presses.join(' ');
        return "error";
    }

private:
    QString text() const { return edit_ ? edit_->toPlainText() : line_->text(); }

    // Positions in UTF-16 units, as both widgets count.
    void setSelection(qsizetype start, qsizetype length)
    {
        if (edit_) {
            QTextCursor cursor = edit_->textCursor();
            cursor.setPosition(static_cast<int>(start));
            cursor.setPosition(static_cast<int>(start + length), QTextCursor::KeepAnchor);
            edit_->setTextCursor(cursor);
        } else if (length == 0) {
            line_->setCursorPosition(static_cast<int>(start));
        } else {
            line_->setSelection(static_cast<int>(start), static_cast<int>(length));
        }
    }

    QWidget window_;
    QLineEdit* line_ = nullptr;
    QTextEdit* edit_ = nullptr;
    KeyRecorder keys_;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString mode = arguments.value(1, QStringLiteral("line"));

    std::unique_ptr<Target> target;
    if (mode == QLatin1String("owner")) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        const QString text = fromHex(arguments.value(2));
        const QString html = fromHex(arguments.value(3));
        clipboard->setMimeData(ownedData(text, html), QClipboard::Clipboard);
        clipboard->setMimeData(ownedData(text, html), QClipboard::Selection);
        reply("ready none");
    } else {
        target = std::make_unique<Target>(mode == QLatin1String("edit"));
        reply("ready " + QByteArray::number(static_cast<qulonglong>(target->windowId())));
    }

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[4096];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            app.quit();
            return;
        }
        pending.append(buffer, count);
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (line == "quit") {
                app.quit();
                return;
            }
            reply(target ? target->handle(line.split(' ')) : QByteArray("error"));
        }
    });
    return app.exec();
}
