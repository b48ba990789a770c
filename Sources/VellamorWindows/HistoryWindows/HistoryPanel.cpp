#include "HistoryWindows/HistoryPanel.h"

#include "HistoryWindows/HistoryView.h"
#include "Windows/WindowTheme.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace vellamor {

HistoryPanel::HistoryPanel(HistoryViewModel& model)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
    , view_(new HistoryView(model, this))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(title());
    setAccessibleName(title());
    setFixedSize(320, 300);
    setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(view_);
    centreOnScreen();
}

HistoryPanel::~HistoryPanel() = default;

void HistoryPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), WindowTheme::windowBackground());
    painter.setPen(WindowTheme::windowEdge());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void HistoryPanel::orderFront()
{
    show();
    raise();
}

void HistoryPanel::centreOnScreen()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace vellamor
