#pragma once

#include "Diagnostics/DiagnosticsPageModel.h"
#include "Diagnostics/DiagnosticsServices.h"
#include "Support/Async/Published.h"
#include "Windows/ProminentButton.h"

#include <QWidget>

#include <map>
#include <vector>

class QHBoxLayout;
class QLabel;
class QVBoxLayout;

namespace vellamor {

class LogViewerView;
class StatusPill;
class SymbolView;

// The settings page "诊断与日志": the application and system versions, the
// three permissions with a way into the desktop's settings for each one
// missing, the recent log, and the button that copies the report. Takes a
// permission snapshot each time it comes on screen.
class DiagnosticsPage : public QWidget {
public:
    // How long opening or closing the log takes to fade the new part in.
    static constexpr int logToggleFade = 200;

    explicit DiagnosticsPage(const DiagnosticsServices& services, QWidget* parent = nullptr,
                             SleepFunction sleep = sleepFor);
    ~DiagnosticsPage() override;

    DiagnosticsPageModel& model() { return model_; }
    QPushButton* copyButton() const { return copyButton_; }
    QPushButton* logToggle() const { return logToggle_; }
    QWidget* cards() const { return cards_; }
    LogViewerView* logViewer() const { return logViewer_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct PermissionRow {
        QHBoxLayout* line;
        StatusPill* pill;
        QPushButton* grant;
    };

    QWidget* makeCards();
    QWidget* makePermissionRow(VellamorPermission permission, QWidget* parent);
    QPushButton* makeLogToggle();
    void showCopied(bool copied);
    void showStatuses(const PermissionStatuses& statuses);
    void showLogs(bool open);
    // Fades `part` in, as it takes the place of the part it replaces.
    static void fadeIn(QWidget* part);

    DiagnosticsPageModel model_;
    // Filled while the cards and the toggle are made, so declared before them.
    std::map<VellamorPermission, PermissionRow> rows_;
    QLabel* settingsMissing_ = nullptr;
    SymbolView* chevronDown_ = nullptr;
    SymbolView* chevronUp_ = nullptr;
    QVBoxLayout* column_;
    ProminentButton* copyButton_;
    QWidget* cards_;
    QPushButton* logToggle_;
    LogViewerView* logViewer_;
    std::vector<Subscription> subscriptions_;
};

} // namespace vellamor
