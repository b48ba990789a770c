#pragma once

#include "Platform/Pasteboard/Pasteboard.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

namespace vellamor {

// The card of a pinned result: "已插入" (or "已复制到剪贴板") with a pin in the header, a close
// button, and a row per non-empty text ("原文" and "润色"), each with copy and
// insert. The texts are the ones it was made with. Copy and insert leave the
// card open and work any number of times; only the close button ends it. It
// shapes itself to the card like the island does.
class PinnedResultOverlay : public QWidget {
    Q_OBJECT

public:
    using InsertAction = std::function<void(const QString&)>;
    using CloseAction = std::function<void()>;

    // `leftOnClipboard`: the text reached no field, which the header says.
    PinnedResultOverlay(QString finalText, QString polishedText, bool leftOnClipboard,
                        std::shared_ptr<platform::Pasteboard> pasteboard, InsertAction onInsert, CloseAction onClose,
                        QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* makeRow(const QString& label, const QString& text, const QColor& labelColor, const QColor& textColor,
                     int lineLimit, bool isPrimary);
    void copy(const QString& text);

    std::shared_ptr<platform::Pasteboard> pasteboard_;
    InsertAction onInsert_;
    CloseAction onClose_;
};

} // namespace vellamor
