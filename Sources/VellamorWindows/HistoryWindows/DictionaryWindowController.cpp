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
    , release_(dependencies_.sleep, [this] { releaseWindow(); })
{
}

DictionaryWindowController::~DictionaryWindowController() = default;

void DictionaryWindowController::show()
{
    if (!window_)
        build();
    window_->show();
    window_->raise();
    window_->activateWindow();
    viewModel_->refresh();
}

void DictionaryWindowController::build()
{
    viewModel_ = std::make_unique<DictionaryViewModel>(DictionaryViewModel::Dependencies{
        dependencies_.services.dataSync(), dependencies_.auth, dependencies_.sleep});
    viewModel_->query = kept_.query;
    window_ = std::make_unique<DictionaryView>(*viewModel_, dependencies_.presentSignIn);
    window_->setWindowTitle(QStringLiteral("个人词典"));
    window_->setMinimumSize(minimumContentSize);
    release_.watch(window_.get());
    if (kept_.frame && window_->restoreGeometry(*kept_.frame))
        return;
    window_->resize(contentSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), contentSize);
        frame.moveCenter(screen->availableGeometry().center());
        window_->move(frame.topLeft());
    }
}

void DictionaryWindowController::releaseWindow()
{
    kept_ = KeptWindowState{window_->saveGeometry(), viewModel_->query.value()};
    window_.reset();
    viewModel_.reset();
}

} // namespace vellamor
