#include "SettingsWindow/SettingsWindow.h"

#include "Logging/VellamorLog.h"
#include "SettingsWindow/SettingsPages.h"
#include "SettingsWindow/SettingsSearchIndex.h"
#include "SettingsWindow/SidebarRow.h"
#include "Support/Async/Spawn.h"
#include "Windows/PaintKit.h"
#include "Windows/SavedToast.h"
#include "Windows/WindowTheme.h"

#include <QDataStream>
#include <QEvent>
#include <QFrame>
#include <QHideEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

namespace vellamor {

namespace {

using namespace std::chrono_literals;

constexpr QSize contentSize{820, 560};
constexpr QSize minimumContentSize{680, 460};
constexpr auto toastHold = 800ms;
constexpr int toastFade = 200;
constexpr int toastTop = 14;
constexpr int toastTrailing = 18;

// The sidebar's ground: the window colour, slightly see-through.
class SidebarBackground final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), PaintKit::withOpacity(WindowTheme::windowBackground(), 0.6));
    }
};

// Scrolls up and down only, on the ground of what holds it.
QScrollArea* verticalScrollArea(QWidget* parent)
{
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->viewport()->setAutoFillBackground(false);
    return area;
}

QLocale localeFor(const QString& language)
{
    if (language == u"zh")
        return QLocale(QStringLiteral("zh_CN"));
    if (language == u"en")
        return QLocale(QLocale::English);
    return QLocale::system();
}

} // namespace

SettingsWindow::SettingsWindow(const Dependencies& dependencies, Published<SettingsSection>& selection)
    : QWidget(nullptr, Qt::Window)
    , dependencies_(dependencies)
    , selection_(selection)
    , obs_(dependencies.store)
    , shownSection_(selection.value())
    , toast_(new SavedToast(this))
    , toastAnimation_(new QPropertyAnimation(toast_, "reveal", this))
{
    setWindowTitle(QStringLiteral("Vellamor 设置"));
    setMinimumSize(minimumContentSize);

    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildSidebar(selection));
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::Mid);
    root->addWidget(divider);
    // The page keeps its natural height and scrolls when the window is
    // shorter; it never scrolls sideways.
    detail_ = verticalScrollArea(this);
    auto* pageArea = new QWidget(detail_);
    pageArea->setAutoFillBackground(false);
    pageArea->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    pageColumn_ = new QVBoxLayout(pageArea);
    pageColumn_->setContentsMargins(28, 28, 28, 28);
    detail_->setWidget(pageArea);
    root->addWidget(detail_, 1);

    toast_->resize(toast_->sizeHint());
    toast_->raise();

    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, &SettingsWindow::focusSearch);

    languageSubscription_ = obs_.language.subscribe([this](const QString& language) { followLanguage(language); });
    tokenSubscription_ = obs_.savedFlashToken.subscribe([this](const std::optional<QUuid>& token) {
        if (token)
            flashSavedToast();
    });
    showSection(selection.value());
    selectionSubscription_ = selection.subscribe([this](SettingsSection section) {
        if (section != shownSection_)
            showSection(section);
    });
    restoreFrame();
}

SettingsWindow::~SettingsWindow()
{
    // Quitting with the window open keeps its frame too.
    if (isVisible())
        saveFrame();
    if (toastHideTask_)
        toastHideTask_->cancel();
}

QWidget* SettingsWindow::buildSidebar(Published<SettingsSection>& selection)
{
    auto* sidebar = new SidebarBackground(this);
    sidebar->setFixedWidth(200);
    auto* layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    searchField_ = new QLineEdit(sidebar);
    searchField_->setPlaceholderText(QStringLiteral("搜索设置"));
    searchField_->setFont(WindowTheme::font(12));
    searchField_->setClearButtonEnabled(true);
    searchField_->setFixedHeight(28);
    connect(searchField_, &QLineEdit::textChanged, this, &SettingsWindow::searchChanged);
    auto* searchRow = new QVBoxLayout;
    searchRow->setContentsMargins(10, 8, 10, 8);
    searchRow->addWidget(searchField_);
    layout->addLayout(searchRow);

    auto* scroll = verticalScrollArea(sidebar);
    auto* list = new QWidget(scroll);
    list->setAutoFillBackground(false);
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(8, 0, 8, 8);
    rows->setSpacing(2);
    for (const SettingsSection section : allSettingsSections) {
        auto* row = new SidebarRow(section, list);
        connect(row, &SidebarRow::clicked, this, [&selection, section] { selection = section; });
        rows->addWidget(row);
        rows_.append(row);
    }
    rows->addStretch();
    scroll->setWidget(list);
    layout->addWidget(scroll, 1);
    return sidebar;
}

void SettingsWindow::showSection(SettingsSection section)
{
    shownSection_ = section;
    for (SidebarRow* row : std::as_const(rows_))
        row->setSelectedRow(row->section() == section);
    followLanguage(obs_.language.value());
    if (page_)
        delete page_.data();
    page_ = makeSettingsPage(section,
                             SettingsPageContext{obs_, dependencies_.theme, dependencies_.services,
                                                 dependencies_.diagnostics, dependencies_.pages, dependencies_.account},
                             pageColumn_->parentWidget());
    pageColumn_->addWidget(page_);
    // Each section opens at its top, however far the last one was scrolled.
    detail_->verticalScrollBar()->setValue(0);
    hiddenSinceBuilt_ = false;
}

void SettingsWindow::searchChanged(const QString& query)
{
    const QList<SettingsSection> hits = query.isEmpty() ? QList<SettingsSection>() : SettingsSearchIndex::hitSections(query);
    for (SidebarRow* row : std::as_const(rows_))
        row->setHit(hits.contains(row->section()));
    if (const std::optional<SettingsSection> next = SettingsSearchIndex::sectionToShow(query, selection_.value()))
        selection_ = *next;
}

void SettingsWindow::focusSearch()
{
    if (!searchField_->hasFocus())
        searchField_->setFocus(Qt::ShortcutFocusReason);
    searchField_->selectAll();
}

void SettingsWindow::followLanguage(const QString& language)
{
    dependencies_.locale.setLanguage(language);
    setLocale(localeFor(language));
}

void SettingsWindow::flashSavedToast()
{
    if (toastHideTask_)
        toastHideTask_->cancel();
    animateToast(true);
    QPointer<SettingsWindow> self(this);
    const SleepFunction sleep = dependencies_.sleep;
    toastHideTask_ = spawn(this, QStringLiteral("saved toast"), [self, sleep](std::stop_token token) -> QCoro::Task<void> {
        const bool slept = co_await sleep(toastHold, token);
        if (slept && !token.stop_requested() && self)
            self->animateToast(false);
    });
}

void SettingsWindow::animateToast(bool visible)
{
    savedToastVisible_ = visible;
    toastAnimation_->stop();
    toastAnimation_->setDuration(toastFade);
    toastAnimation_->setEasingCurve(visible ? PaintKit::easeOut() : PaintKit::easeIn());
    toastAnimation_->setStartValue(toast_->reveal());
    toastAnimation_->setEndValue(visible ? 1.0 : 0.0);
    toastAnimation_->start();
}

void SettingsWindow::placeToast()
{
    // The toast's own margin holds its shadow.
    const QSize size = toast_->sizeHint();
    const int margin = SavedToast::shadowMargin;
    toast_->setGeometry(width() - toastTrailing - size.width() + margin, toastTop - margin, size.width(), size.height());
    toast_->raise();
}

void SettingsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A page fetches what it shows when it comes on screen, also when the
    // window comes back.
    if (hiddenSinceBuilt_)
        showSection(shownSection_);
}

void SettingsWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    hiddenSinceBuilt_ = true;
    saveFrame();
}

void SettingsWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeToast();
}

void SettingsWindow::restoreFrame()
{
    // A saved frame counts only when it lies wholly on one screen's
    // available area: a damaged or foreign value would otherwise open the
    // window off screen, or at a size whose backing store alone takes gigabytes.
    const std::optional<QByteArray> saved = dependencies_.defaults->data(frameKey());
    if (saved) {
        const std::optional<QRect> frame = savedFrame(*saved);
        if (frame && fitsAvailableScreen(*frame) && restoreGeometry(*saved))
            return;
        VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("settings"))
            .info(QStringLiteral("settings window frame does not fit the screens, centring at default size"));
    }
    resize(contentSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), contentSize);
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

std::optional<QRect> SettingsWindow::savedFrame(const QByteArray& saved)
{
    // The head of QWidget::saveGeometry()'s format: a magic number, a
    // version, then the frame.
    QDataStream stream(saved);
    stream.setVersion(QDataStream::Qt_4_0);
    quint32 magic = 0;
    quint16 major = 0;
    quint16 minor = 0;
    QRect frame;
    stream >> magic >> major >> minor >> frame;
    if (stream.status() != QDataStream::Ok || magic != 0x1D9D0CB || major != 3 || !frame.isValid())
        return std::nullopt;
    return frame;
}

bool SettingsWindow::fitsAvailableScreen(const QRect& frame)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [&frame](const QScreen* screen) { return screen->availableGeometry().contains(frame); });
}

void SettingsWindow::saveFrame()
{
    dependencies_.defaults->setData(frameKey(), saveGeometry());
}

} // namespace vellamor
