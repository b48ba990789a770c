#include "InputSourceWindows/PairingConfirmDialog.h"

#include "Support/TextEscaping.h"
#include "Windows/FixedDialog.h"
#include "Windows/SymbolView.h"
#include "Windows/WindowTheme.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTextBoundaryFinder>
#include <QTime>
#include <QVBoxLayout>
#include <QWindow>

#include <functional>
#include <utility>

namespace vellamor {

namespace {

bool pressesAButton(const QKeyEvent& event)
{
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Select:
        return true;
    default:
        return false;
    }
}

// What the device sent, with a break opportunity (U+200B) between every two
// characters: a long run without spaces wraps instead of widening the dialog
// past the screen and its buttons out of sight.
QString wrappableAnywhere(const QString& text)
{
    QString wrappable;
    wrappable.reserve(text.size() * 2);
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = characters.toNextBoundary(); end != -1; end = characters.toNextBoundary()) {
        if (start > 0)
            wrappable += QChar(0x200B);
        wrappable += QStringView(text).sliced(start, end - start);
        start = end;
    }
    return wrappable;
}

QString requestText(const PairingRequestPayload& payload, const QString& time,
                    const std::function<QString(const QString&)>& shown)
{
    // The device writes both: each stays on its own line.
    const QString name = oneLineForDisplay(payload.friendlyName);
    const QString address = oneLineForDisplay(payload.ip);
    return QStringLiteral("设备：") + (name.isEmpty() ? QStringLiteral("未知设备") : shown(name))
        + QStringLiteral("\n来源：") + (address.isEmpty() ? QStringLiteral("未知网络") : shown(address))
        + QStringLiteral("\n请求时间：") + time + QStringLiteral("\n\n确认后该设备可将语音转写直接插入到本机当前光标位置。");
}

} // namespace

PairingConfirmDialog::PairingConfirmDialog(const PairingRequestPayload& payload, QWidget* parent)
    : QDialog(parent)
{
    const QString time = QLocale(QStringLiteral("zh_CN")).toString(QTime::currentTime(), QStringLiteral("HH:mm:ss"));
    informativeText_ = requestText(payload, time, [](const QString& text) { return text; });

    setFixedDialogFrame(*this);
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setWindowTitle(QStringLiteral("Vellamor"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowModality(Qt::ApplicationModal);

    auto* icon = new SymbolView(QStringLiteral("info.circle"), 32, &WindowTheme::accent, this);
    auto* title = new QLabel(QStringLiteral("新设备请求绑定"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    informative_ = new QLabel(requestText(payload, time, wrappableAnywhere), this);
    informative_->setAccessibleName(informativeText_);
    informative_->setTextFormat(Qt::PlainText);
    informative_->setTextInteractionFlags(Qt::NoTextInteraction);
    informative_->setWordWrap(true);

    confirm_ = new QPushButton(QStringLiteral("确认绑定"), this);
    reject_ = new QPushButton(QStringLiteral("拒绝"), this);
    confirm_->setDefault(true);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(confirm_);
    buttons->addWidget(reject_);

    auto* words = new QVBoxLayout();
    words->addWidget(title);
    words->addWidget(informative_);
    words->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addLayout(words);

    connect(confirm_, &QPushButton::clicked, this, [this] {
        confirmed_ = true;
        accept();
    });
    connect(reject_, &QPushButton::clicked, this, &QDialog::reject);
    for (QObject* watched : std::initializer_list<QObject*>{this, confirm_, reject_})
        watched->installEventFilter(this);
}

bool PairingConfirmDialog::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // The user came to the dialog: from now on the window manager may
        // give it the keyboard. Activating it from here would leave Qt
        // believing the app holds the focus after it closes.
        if (!std::exchange(armed_, true) && windowHandle())
            windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus, false);
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride: {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab)
            armed_ = true;
        else if (!armed_ && pressesAButton(key))
            return true;
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vellamor
