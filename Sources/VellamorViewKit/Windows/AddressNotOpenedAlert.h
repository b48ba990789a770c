#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QUrl>

namespace vellamor {

// Tells the user that the desktop opened no application for an address and
// shows the address to copy by hand. One alert at a time: a later failure
// raises it with the newer address. Main thread only.
class AddressNotOpenedAlert {
public:
    explicit AddressNotOpenedAlert(QString title);
    ~AddressNotOpenedAlert();
    AddressNotOpenedAlert(const AddressNotOpenedAlert&) = delete;
    AddressNotOpenedAlert& operator=(const AddressNotOpenedAlert&) = delete;

    void show(const QUrl& address);
    // The open alert, if any.
    QMessageBox* alert() const { return alert_; }

private:
    QString title_;
    QPointer<QMessageBox> alert_;
};

} // namespace vellamor
