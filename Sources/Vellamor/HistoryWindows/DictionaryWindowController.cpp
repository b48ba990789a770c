#include "HistoryWindows/DictionaryWindowController.h"

#include <QGuiApplication>
#include <QScreen>

namespace vellamor {

namespace {

constexpr QSize contentSize{620, 480};
constexpr QSize minimumContentSize{520, 380};

} // namespace

DictionaryWindowController::DictionaryWindowController(Dependencies dependencies)
    : dependencies_(std::move(dependencies))
{
}

DictionaryWindowController::~DictionaryWindowController() = default;

void DictionaryWindowController::show()
{
    if (!window_) {
        viewModel_ = std::make_unique<DictionaryViewModel>(DictionaryViewModel::Dependencies{
            dependencies_.services.dataSync(), dependencies_.auth, dependencies_.sleep});
        window_ = std::make_unique<DictionaryView>(*viewModel_, dependencies_.presentSignIn);
        window_->setWindowTitle(QStringLiteral("个人词典"));
        window_->setMinimumSize(minimumContentSize);
        window_->resize(contentSize);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(0, 0), contentSize);
            frame.moveCenter(screen->availableGeometry().center());
            window_->move(frame.topLeft());
        }
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    viewModel_->refresh();
}

} // namespace vellamor
