#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

class QListView;

namespace vellamor {

// The items under a list whose rows a delegate paints, one row each: the
// list's cost follows the rows on screen, not how many there are. The
// accessibility bus reads each row's text.
template<typename Item>
class PaintedListModel final : public QAbstractListModel {
public:
    using TextOf = std::function<QString(const Item&)>;

    PaintedListModel(TextOf displayText, TextOf accessibleText, QObject* parent)
        : QAbstractListModel(parent)
        , displayText_(std::move(displayText))
        , accessibleText_(std::move(accessibleText))
    {
    }

    const QList<Item>& items() const { return items_; }

    void reset(const QList<Item>& next)
    {
        beginResetModel();
        items_ = next;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(items_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole)
            return displayText_(items_.at(index.row()));
        if (role == Qt::AccessibleTextRole)
            return accessibleText_(items_.at(index.row()));
        return {};
    }

private:
    TextOf displayText_;
    TextOf accessibleText_;
    QList<Item> items_;
};

// What every painted list shares: no selection, no editing, no frame, no
// sideways scrolling, smooth vertical scrolling, the pointer followed for
// hovering, and the window's ground behind the rows.
void preparePaintedList(QListView& list);

} // namespace vellamor
