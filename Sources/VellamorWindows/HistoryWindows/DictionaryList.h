#pragma once

#include "DataSync/DictEntry.h"
#include "HistoryWindows/DictRow.h"
#include "Windows/PaintedList.h"

#include <QList>
#include <QListView>

#include <functional>

namespace vellamor {

// The dictionary window's list: one painted row per entry (DictRow), laid
// out and painted only as rows come into view, so its cost follows what is
// on screen, not the dictionary's size. It never scrolls sideways.
class DictionaryList final : public QListView {
    Q_OBJECT

public:
    explicit DictionaryList(QWidget* parent = nullptr);
    ~DictionaryList() override;

    // Unchanged entries keep the scroll position.
    void setEntries(const QList<DictEntry>& entries);
    const QList<DictEntry>& entries() const;

    std::function<void(const DictEntry&)> onEdit;
    std::function<void(const DictEntry&)> onRemove;

    // Brings `row` into view and gives where its part lies in the viewport.
    DictRow::Layout rowLayout(int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Hit {
        int row = -1;
        DictRow::Button button = DictRow::Button::none;
        friend bool operator==(const Hit&, const Hit&) = default;
    };
    Hit hitAt(const QPoint& point) const;
    void setHot(const Hit& hit, bool pressed);

    PaintedListModel<DictEntry>* rows_;
    DictRow* painter_;
    Hit hot_;
    bool hotPressed_ = false;
    Hit pressed_;
};

} // namespace vellamor
