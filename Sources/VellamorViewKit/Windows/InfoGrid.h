#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QWidget>

namespace vellamor {

// Key and value pairs in two columns; the values can be selected and copied.
class InfoGrid : public QWidget {
    Q_OBJECT

public:
    // A key that appears again after its first row is left out.
    explicit InfoGrid(const QList<QPair<QString, QString>>& rows, QWidget* parent = nullptr);
};

} // namespace vellamor
