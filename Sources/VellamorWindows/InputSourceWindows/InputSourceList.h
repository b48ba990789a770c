#pragma once

#include "InputSourceWindows/InputSourceRow.h"
#include "Windows/PaintedList.h"

#include <QList>
#include <QListView>

#include <functional>
#include <optional>

namespace vellamor {

// The input-source card's rows, painted (InputSourceRow) as they come into
// view, so a long list costs what the screen shows. It is as tall as all
// its rows and leaves scrolling to the page around it. "撤销" answers a
// click, and Space or Return on the row the keyboard is on; the row being
// revoked shows a progress bar in its place.
class InputSourceList final : public QListView {
    Q_OBJECT

public:
    explicit InputSourceList(QWidget* parent = nullptr);
    ~InputSourceList() override;

    void setSources(const QList<InputSource>& sources, std::optional<qint64> revokingID);
    const QList<InputSource>& sources() const;

    std::function<void(const InputSource&)> onRevoke;

    // Where the parts of `row` lie in the viewport, as painted now.
    InputSourceRow::Layout rowLayout(int row);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The row whose button is at `point`, else -1.
    int buttonAt(const QPoint& point) const;
    void setHot(int row, bool pressed);
    void showFocus();
    void revoke(int row);

    PaintedListModel<InputSource>* rows_;
    InputSourceRow* painter_;
    std::optional<qint64> revokingID_;
    int hot_ = -1;
    bool hotPressed_ = false;
    int pressed_ = -1;
};

} // namespace vellamor
