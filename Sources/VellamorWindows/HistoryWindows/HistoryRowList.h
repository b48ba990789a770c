#pragma once

#include "History/HistoryRecord.h"
#include "Windows/PaintedList.h"

#include <QListView>
#include <QList>
#include <QPersistentModelIndex>

#include <functional>
#include <optional>

namespace vellamor {

class HistoryViewModel;

// The panel's list of records: one painted row each, built only as rows
// scroll into view, each followed by a divider (the last one too). A row
// shows its pulse, typing or hover hint and background from the view model
// at every paint; the pointer's rows go to the view model's hovered id.
class HistoryRowList final : public QListView {
    Q_OBJECT

public:
    explicit HistoryRowList(HistoryViewModel& model, QWidget* parent = nullptr);
    ~HistoryRowList() override;

    // Keeps the scroll position when the records are the same.
    void setRecords(const QList<HistoryRecord>& records);
    const QList<HistoryRecord>& records() const;

    // A single click on a row.
    std::function<void(const HistoryRecord&)> onRowClicked;

protected:
    // A click is handled here: the view's own handling would make the row
    // current, which the accessibility bus reports as this application
    // taking the focus, and the insertion would find no target.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void hover(const std::optional<QUuid>& id);

    class RowPainter;

    HistoryViewModel& model_;
    PaintedListModel<HistoryRecord>* rows_;
    RowPainter* painter_;
    std::optional<QUuid> hovered_;
    QPersistentModelIndex pressed_;
};

} // namespace vellamor
