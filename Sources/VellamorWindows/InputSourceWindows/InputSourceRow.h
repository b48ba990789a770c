#pragma once

#include "InputSources/InputSource.h"
#include "Support/Date.h"

#include <QRect>
#include <QRectF>
#include <QString>
#include <QStyledItemDelegate>

#include <functional>

class QStyleOptionButton;

namespace vellamor {

// Paints one source of the input-source card: its kind's symbol, its name
// with "待确认" while pending, when it was bound and last used, and the red
// "撤销" button, with a divider above every row but the first. The names are
// drawn on one line (oneLineForDisplay) and cut short inside the row, so the
// button stays in it whatever a phone calls itself.
class InputSourceRow final : public QStyledItemDelegate {
public:
    // Where each part of a row goes and the texts as they fit there. No
    // pill unless pending; no button while the source is being revoked.
    struct Layout {
        QString symbol;
        QRectF icon;
        QString nameText;
        QRectF name;
        QRectF pill;
        QString detailText;
        QRectF detail;
        QRect button;
    };

    using SourceAt = std::function<const InputSource&(int row)>;
    using Revoking = std::function<bool(int row)>;

    InputSourceRow(SourceAt sourceAt, Revoking revoking, const QWidget& list, QObject* parent);

    Layout layout(const QRect& row, int index, Date now) const;
    // Every row has this height; its parts are centred on the first lines.
    int height() const;

    // The button under the pointer, held or not, and whether the list has the
    // keyboard on `focusRow`.
    void setHot(int row, bool pressed);
    void setFocusRow(int row);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The row's title, also read out: the friendly name, else the name (each
    // on one line), else the kind's word.
    static QString displayName(const InputSource& source);
    // "绑定于 …", then " · 最后使用 …" when the source was used.
    static QString secondaryLine(const InputSource& source, Date now);
    static QString symbolFor(const QString& kind);

private:
    QStyleOptionButton buttonOption(const QRect& rect, int row) const;
    QSize buttonSize() const;

    SourceAt sourceAt_;
    Revoking revoking_;
    const QWidget& list_;
    int hotRow_ = -1;
    bool pressed_ = false;
    int focusRow_ = -1;
};

} // namespace vellamor
