#include "Windows/PlaceholderWindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace vellamor {

PlaceholderWindow::PlaceholderWindow(const QString& title, const QString& text, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , label_(new QLabel(text, this))
{
    setWindowTitle(title);
    label_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    resize(420, 160);
}

void PlaceholderWindow::setText(const QString& text)
{
    label_->setText(text);
}

void PlaceholderWindow::present()
{
    show();
    raise();
    activateWindow();
}

} // namespace vellamor
