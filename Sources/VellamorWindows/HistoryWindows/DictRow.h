#pragma once

#include "DataSync/DictEntry.h"

#include <QRectF>
#include <QString>
#include <QStyledItemDelegate>

#include <array>
#include <functional>

namespace vellamor {

// Paints one entry of the dictionary list: its term, the note under it when
// there is one, the replacement as a tag when there is one, the edit and
// delete buttons, and the divider under the row. The term, note and
// replacement are elided inside the row, so the buttons always stay in it
// whatever the texts' length.
class DictRow final : public QStyledItemDelegate {
public:
    enum class Button { none, edit, remove };

    // Where each part of a row goes and the texts as they fit there. The
    // note and the tag are empty rectangles when the entry has none.
    struct Layout {
        QRectF term;
        QString termText;
        QRectF note;
        QString noteText;
        QRectF tag;
        QString replacementText;
        QRectF edit;
        QRectF remove;
    };

    // Gives the entry of a row of the view.
    using EntryAt = std::function<const DictEntry&(int row)>;

    DictRow(EntryAt entryAt, QObject* parent);

    // The rows' left and right inset inside the view.
    static constexpr int inset = 14;

    static Layout layout(const QRect& row, const DictEntry& entry);
    static int height(const DictEntry& entry);
    static Button buttonAt(const QRect& row, const QPoint& point);
    static QString helpText(Button button);

    // After a font change.
    void forgetHeights();

    // The button the pointer is over and whether it is held, drawn as such.
    void setHot(int row, Button button, bool pressed);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    EntryAt entryAt_;
    mutable std::array<int, 4> heights_{};
    int hotRow_ = -1;
    Button hotButton_ = Button::none;
    bool pressed_ = false;
};

} // namespace vellamor
