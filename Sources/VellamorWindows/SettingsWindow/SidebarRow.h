#pragma once

#include "SettingsWindow/SettingsSection.h"

#include <QAbstractButton>

namespace vellamor {

// One section in the settings sidebar: its symbol and label, tinted when
// selected, with a dot while the search finds something in it.
class SidebarRow : public QAbstractButton {
    Q_OBJECT

public:
    explicit SidebarRow(SettingsSection section, QWidget* parent = nullptr);

    SettingsSection section() const { return section_; }

    bool isSelectedRow() const { return selected_; }
    void setSelectedRow(bool selected);
    bool isHit() const { return hit_; }
    void setHit(bool hit);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SettingsSection section_;
    bool selected_ = false;
    bool hit_ = false;
};

} // namespace vellamor
