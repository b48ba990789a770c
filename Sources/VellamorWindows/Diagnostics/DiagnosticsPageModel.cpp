#include "Diagnostics/DiagnosticsPageModel.h"

#include "Permissions/PermissionChecker.h"
#include "Platform/Pasteboard/Pasteboard.h"
#include "Support/Async/Spawn.h"

#include <QPointer>

namespace vellamor {

DiagnosticsPageModel::DiagnosticsPageModel(std::shared_ptr<const PermissionChecker> checker,
                                           std::shared_ptr<platform::Pasteboard> pasteboard,
                                           std::optional<QString> logFile, SleepFunction sleep, QObject* parent)
    : QObject(parent)
    , checker_(std::move(checker))
    , pasteboard_(std::move(pasteboard))
    , logFile_(std::move(logFile))
    , sleep_(std::move(sleep))
{
}

void DiagnosticsPageModel::appear()
{
    QPointer<DiagnosticsPageModel> weak(this);
    spawn(this, QStringLiteral("diagnostics permission snapshot"),
          [weak, checker = checker_](std::stop_token token) -> QCoro::Task<void> {
              const PermissionStatuses snapshot = co_await checker->snapshot();
              if (!token.stop_requested() && weak)
                  weak->statuses = snapshot;
          });
}

void DiagnosticsPageModel::copyReport()
{
    pasteboard_->setText(platform::PasteboardSelection::clipboard,
                         DiagnosticsReport::build(statuses.value(), DiagnosticsFacts::gather(logFile_)));
    copied = true;
    QPointer<DiagnosticsPageModel> weak(this);
    spawn(this, QStringLiteral("diagnostics copied feedback"),
          [weak, sleep = sleep_](std::stop_token token) -> QCoro::Task<void> {
              // A sleep cut short for another reason than the page's end still
              // counts as finished.
              co_await sleep(copiedFeedback, token);
              if (!token.stop_requested() && weak)
                  weak->copied = false;
          });
}

bool DiagnosticsPageModel::openSystemSettings(VellamorPermission permission) const
{
    return checker_->openSystemSettings(permission);
}

QList<std::pair<QString, QString>> DiagnosticsPageModel::systemInfoRows()
{
    return {{QStringLiteral("Vellamor 版本"), ApplicationVersion::current().text()},
            {QStringLiteral("系统"), DiagnosticsFacts::currentSystem()}};
}

} // namespace vellamor
