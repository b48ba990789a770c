#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class QPropertyAnimation;

namespace vellamor {

// The short confirmation at the top of the dictionary window: a text on a
// see-through capsule with a soft shadow, faded in and out. It keeps its
// last text while it fades out.
class DictToast : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double reveal READ reveal WRITE setReveal)

public:
    // Around the capsule on every side, for its shadow.
    static constexpr int shadowMargin = 6;

    explicit DictToast(QWidget* parent = nullptr);

    // Fades the text in, or the capsule out for none.
    void present(const std::optional<QString>& text);
    const QString& text() const { return text_; }
    // Whether it is (being) shown.
    bool isPresented() const { return presented_; }

    double reveal() const { return reveal_; }
    void setReveal(double reveal);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    bool presented_ = false;
    double reveal_ = 0;
    QPropertyAnimation* animation_;
};

} // namespace vellamor
