// The Qt target of the text-insertion desktop tests (see TargetProtocol.h),
// "QtLineEdit", "QtTextEdit" or "QtReadOnlyTextEdit": positions count UTF-16 units, as both widgets
// do. "QtFocusedPanelTextEdit" puts the edit in a panel that, as LibreOffice
// Writer's above its paragraph, says it has the focus and announces so
// after the edit got it. Started as "owner <text> <html>" it shows no window, answers "ready
// none" and holds both clipboards with that text, that HTML and a small PNG
// image until it ends; as "slow-owner <text> <html>" it answers for the image
// 2 s late, as an owner encoding a large image anew for each request. As
// "reowner" it copies every change of the clipboard and takes it with the
// copy, as clipboard managers do that keep the clipboard alive.

#include "TargetProtocol.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QTextCursor>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <functional>

namespace {

class SlowImage final : public QMimeData {
protected:
    QVariant retrieveData(const QString& format, QMetaType type) const override
    {
        if (format.startsWith(QStringLiteral("image/")))
            QThread::msleep(2000);
        return QMimeData::retrieveData(format, type);
    }
};

QMimeData* ownedData(const QString& text, const QString& html, bool slow)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(qRgb(60, 80, 200));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");

    QMimeData* data = slow ? new SlowImage : new QMimeData;
    data->setText(text);
    data->setHtml(html);
    data->setData(QStringLiteral("image/png"), png);
    return data;
}

const QString focusedPanelName = QStringLiteral("focused-panel");

class FocusedPanel final : public QAccessibleWidget {
public:
    explicit FocusedPanel(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Pane) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.focusable = true;
        state.focused = true;
        return state;
    }
};

QAccessibleInterface* focusedPanelFactory(const QString&, QObject* object)
{
    if (object && object->isWidgetType() && object->objectName() == focusedPanelName)
        return new FocusedPanel(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const bool slow = arguments.value(1) == QStringLiteral("slow-owner");
    if (arguments.value(1) == QStringLiteral("owner") || slow) {
        QGuiApplication::clipboard()->setMimeData(ownedData(arguments.value(2), arguments.value(3), slow),
                                                  QClipboard::Clipboard);
        QGuiApplication::clipboard()->setMimeData(ownedData(arguments.value(2), arguments.value(3), slow),
                                                  QClipboard::Selection);
        vellamor::target::say("ready none");
        return app.exec();
    }

    if (arguments.value(1) == QStringLiteral("reowner")) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        QObject::connect(clipboard, &QClipboard::changed, [clipboard](QClipboard::Mode mode) {
            if (mode != QClipboard::Clipboard || clipboard->ownsClipboard())
                return;
            const QMimeData* data = clipboard->mimeData();
            if (!data)
                return;
            auto* copy = new QMimeData;
            for (const QString& format : data->formats())
                copy->setData(format, data->data(format));
            clipboard->setMimeData(copy);
        });
        vellamor::target::say("ready none");
        return app.exec();
    }

    const QString text = arguments.value(2);
    const auto start = static_cast<int>(arguments.value(3).size());
    const auto length = static_cast<int>(arguments.value(4).size());
    QWidget window;
    QWidget* panel = nullptr;
    if (arguments.value(1) == QStringLiteral("QtFocusedPanelTextEdit")) {
        QAccessible::installFactory(focusedPanelFactory);
        panel = new QWidget(&window);
        panel->setObjectName(focusedPanelName);
        new QVBoxLayout(panel);
    }
    QLineEdit* line = nullptr;
    QTextEdit* edit = nullptr;
    if (arguments.value(1).endsWith(QStringLiteral("TextEdit"))) {
        edit = new QTextEdit(panel ? panel : &window);
        edit->setReadOnly(arguments.value(1) == QStringLiteral("QtReadOnlyTextEdit"));
        edit->setPlainText(text);
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(start);
        cursor.setPosition(start + length, QTextCursor::KeepAnchor);
        edit->setTextCursor(cursor);
    } else {
        line = new QLineEdit(text, &window);
        line->setSelection(start, length);
    }
    QWidget* field = edit ? static_cast<QWidget*>(edit) : line;
    if (panel)
        panel->layout()->addWidget(field);
    (new QVBoxLayout(&window))->addWidget(panel ? panel : field);
    window.setWindowTitle(QStringLiteral("vellamor text target"));
    window.resize(420, edit ? 200 : 80);
    window.show();
    field->setFocus();

    // The panel speaks after the edit's own focus event, which Qt sends once
    // it has told the application; the edit counts as focused from then on.
    bool panelAnnounced = false;
    bool panelDue = false;
    std::function<void()> report = [&] {
        const bool focused = window.isActiveWindow() && field->hasFocus();
        if (panel && focused && !panelDue) {
            panelDue = true;
            QTimer::singleShot(0, [&] {
                panelAnnounced = true;
                QAccessibleEvent event(panel, QAccessible::Focus);
                QAccessible::updateAccessibility(&event);
                report();
            });
        }
        vellamor::target::report(focused && (!panel || panelAnnounced),
                                 (edit ? edit->toPlainText() : line->text()).toStdString());
    };
    if (edit)
        QObject::connect(edit, &QTextEdit::textChanged, report);
    else
        QObject::connect(line, &QLineEdit::textChanged, report);
    QObject::connect(&app, &QApplication::focusChanged, report);
    QObject::connect(&app, &QGuiApplication::focusWindowChanged, report);
    vellamor::target::say("ready " + std::to_string(window.winId()));
    return app.exec();
}
