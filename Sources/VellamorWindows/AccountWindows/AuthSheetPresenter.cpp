#include "AccountWindows/AuthSheetPresenter.h"

#include "AccountWindows/AuthSheet.h"

namespace vellamor {

AuthSheetPresenter::AuthSheetPresenter(std::shared_ptr<AuthAPIProtocol> codes, std::shared_ptr<AuthSession> session,
                                       SleepFunction sleep)
    : codes_(std::move(codes))
    , session_(std::move(session))
    , sleep_(std::move(sleep))
{
}

AuthSheetPresenter::~AuthSheetPresenter()
{
    // A sheet without a presenting window would outlive the application's services.
    if (sheet_ && !sheet_->parentWidget())
        delete sheet_.data();
}

AuthSheet* AuthSheetPresenter::openSheet() const
{
    return sheet_.data();
}

AuthSheet* AuthSheetPresenter::present(QWidget* over)
{
    if (sheet_) {
        sheet_->raise();
        sheet_->activateWindow();
        return sheet_;
    }
    sheet_ = new AuthSheet(codes_, session_, sleep_, over ? over->window() : nullptr);
    sheet_->setAttribute(Qt::WA_DeleteOnClose);
    sheet_->open();
    return sheet_;
}

} // namespace vellamor
