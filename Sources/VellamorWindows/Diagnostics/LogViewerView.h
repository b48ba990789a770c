#pragma once

#include "Diagnostics/LogViewerModel.h"
#include "Support/Async/Published.h"

#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace vellamor {

// The recent log inside the diagnostics page: a line count, reload, copy and
// show-in-file-manager, and the text. Reloads each time it comes on screen.
class LogViewerView : public QWidget {
public:
    explicit LogViewerView(std::unique_ptr<LogViewerModel> model, QWidget* parent = nullptr);
    ~LogViewerView() override;

    LogViewerModel& model() { return *model_; }

    QSpinBox* linesBox() const { return linesBox_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* copyButton() const { return copyButton_; }
    QPushButton* revealButton() const { return revealButton_; }
    QLabel* statusLabel() const { return statusLabel_; }
    QPlainTextEdit* textArea() const { return textArea_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyStyle();

    std::unique_ptr<LogViewerModel> model_;
    QSpinBox* linesBox_;
    QPushButton* refreshButton_;
    QPushButton* copyButton_;
    QPushButton* revealButton_;
    QLabel* statusLabel_;
    QProgressBar* spinner_;
    QPlainTextEdit* textArea_;
    std::vector<Subscription> subscriptions_;
};

} // namespace vellamor
