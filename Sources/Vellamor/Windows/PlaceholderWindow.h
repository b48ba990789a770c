#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace vellamor {

// A plain window that says what will live in it, for the windows that are
// not built yet. Closing it only hides it.
class PlaceholderWindow : public QWidget {
    Q_OBJECT

public:
    PlaceholderWindow(const QString& title, const QString& text, QWidget* parent = nullptr);

    void setText(const QString& text);
    // Shows the window in front.
    void present();

private:
    QLabel* label_;
};

} // namespace vellamor
