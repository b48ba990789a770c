#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

#include <functional>

namespace vellamor {

// A label whose text colour comes from the window theme and follows the
// application's palette when it switches between light and dark. Its text
// is plain: markup shows as written.
class ThemedLabel : public QLabel {
    Q_OBJECT

public:
    using Ink = std::function<QColor()>;

    ThemedLabel(const QString& text, const QFont& font, Ink ink, QWidget* parent = nullptr);

    void setInk(Ink ink);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyInk();

    Ink ink_;
};

} // namespace vellamor
