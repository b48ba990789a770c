#include "Windows/AddressNotOpenedAlert.h"

#include <utility>

namespace vellamor {

AddressNotOpenedAlert::AddressNotOpenedAlert(QString title)
    : title_(std::move(title))
{
}

AddressNotOpenedAlert::~AddressNotOpenedAlert()
{
    delete alert_;
}

void AddressNotOpenedAlert::show(const QUrl& address)
{
    if (!alert_) {
        alert_ = new QMessageBox(QMessageBox::Warning, QStringLiteral("Vellamor"), title_);
        alert_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        alert_->setAttribute(Qt::WA_DeleteOnClose);
    }
    alert_->setInformativeText(QStringLiteral("系统没能用浏览器打开它。请复制下面的地址，在浏览器中打开：\n")
                               + address.toString());
    alert_->show();
    alert_->raise();
    alert_->activateWindow();
}

} // namespace vellamor
