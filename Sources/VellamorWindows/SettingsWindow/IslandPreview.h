#pragma once

#include <QWidget>

namespace vellamor {

// A miniature screen showing where the recording island appears, with the
// rule in a caption below.
class IslandPreview : public QWidget {
    Q_OBJECT

public:
    explicit IslandPreview(QWidget* parent = nullptr);
};

} // namespace vellamor
