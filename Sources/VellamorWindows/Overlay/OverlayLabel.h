#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <utility>

namespace vellamor {

// A text of the overlay: wrapped at word boundaries up to a line limit, the
// last line truncated at its tail when the text is longer. A limit of one
// line never wraps. Takes the height its text needs at the width it gets.
// Only a bounded beginning of the text is laid out, so a huge text costs no
// more than a long one; a cut unlimited text ends in "…".
class OverlayLabel : public QWidget {
    Q_OBJECT

public:
    static constexpr int unlimited = 0;

    OverlayLabel(QFont font, QColor color, int lineLimit, QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return text_; }
    void setColor(const QColor& color);
    const QColor& color() const { return color_; }
    // Leading by default; Qt::AlignRight for trailing text.
    void setHorizontalAlignment(Qt::Alignment alignment);

    // The lines as drawn at `width`, the truncated last one included.
    QStringList linesForWidth(double width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int heightForLines(qsizetype lines) const;
    QStringList layOut(double width) const;

    QString text_;
    // The beginning of the text that can be shown, with newlines as the layout wants them.
    QString shown_;
    // The lines at the widths asked for last, newest first: a layout asks
    // at the hint's width and at the width it gives, and an animated
    // resize at a new width each frame.
    mutable QList<std::pair<double, QStringList>> laidOut_;
    QFont font_;
    QColor color_;
    int lineLimit_;
    Qt::Alignment alignment_ = Qt::AlignLeft;
};

} // namespace vellamor
