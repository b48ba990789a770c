#pragma once

#include "Diagnostics/DiagnosticsPageModel.h"
#include "Support/Async/Published.h"

#include <QWidget>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace vellamor {

class LogViewerView;

namespace platform {
class Workspace;
} // namespace platform

// The settings page "诊断与日志": the application and system versions, the
// three permissions with a way into the desktop's settings for each one
// missing, the recent log, and the button that copies the report. Takes a
// permission snapshot each time it comes on screen.
class DiagnosticsPage : public QWidget {
public:
    struct Dependencies {
        std::shared_ptr<const PermissionChecker> checker;
        std::shared_ptr<platform::Pasteboard> pasteboard;
        std::shared_ptr<platform::Workspace> workspace;
        std::optional<QString> logFile;
        SleepFunction sleep = sleepFor;
    };

    explicit DiagnosticsPage(Dependencies dependencies, QWidget* parent = nullptr);
    ~DiagnosticsPage() override;

    DiagnosticsPageModel& model() { return model_; }
    QPushButton* copyButton() const { return copyButton_; }
    QPushButton* logToggle() const { return logToggle_; }
    QWidget* cards() const { return cards_; }
    LogViewerView* logViewer() const { return logViewer_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct PermissionRow {
        QLabel* pill;
        QPushButton* grant;
    };

    QWidget* makeCards();
    QPushButton* makeLogToggle();
    void showStatuses(const PermissionStatuses& statuses);
    void showLogs(bool open);

    DiagnosticsPageModel model_;
    // Filled while the cards and the toggle are made, so declared before them.
    std::map<VellamorPermission, PermissionRow> rows_;
    QLabel* settingsMissing_;
    QLabel* chevron_;
    QVBoxLayout* column_;
    QPushButton* copyButton_;
    QWidget* cards_;
    QPushButton* logToggle_;
    LogViewerView* logViewer_;
    std::vector<Subscription> subscriptions_;
};

} // namespace vellamor
