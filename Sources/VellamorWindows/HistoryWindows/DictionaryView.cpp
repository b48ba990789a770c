#include "HistoryWindows/DictionaryView.h"

#include "HistoryWindows/DictEditorSheet.h"
#include "HistoryWindows/DictToast.h"
#include "HistoryWindows/DictionaryList.h"
#include "HistoryWindows/DictionaryViewModel.h"
#include "I18n/L10n.h"
#include "Windows/ProminentButton.h"
#include "Windows/StatusPill.h"
#include "Windows/SymbolButton.h"
#include "Windows/SymbolView.h"
#include "Windows/ThemedLabel.h"
#include "Windows/TintedGround.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vellamor {

namespace {

constexpr int toastTop = 12;

// Asks for no more than its content at its shortest, and takes what is left.
class PillArea final : public QWidget
{
public:
    using QWidget::QWidget;

    QSize sizeHint() const override { return minimumSizeHint(); }
};

} // namespace

DictionaryView::Pill DictionaryView::pillFor(const DataSyncConnection& connection)
{
    if (!connection.isLocal())
        return {QStringLiteral("已同步云端"), PillTone::success, false};
    if (connection.needsSignIn())
        return {QStringLiteral("登录后云端同步"), PillTone::warning, true};
    return {QStringLiteral("本地暂存 · ") + connection.reason(), PillTone::warning, false};
}

DictionaryView::DictionaryView(DictionaryViewModel& viewModel, SignInPresenter presentSignIn, QWidget* parent)
    : QWidget(parent)
    , viewModel_(viewModel)
    , presentSignIn_(std::move(presentSignIn))
    , redraw_(this, [this] { render(); })
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildToolbar());
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::Mid);
    layout->addWidget(divider);
    content_ = new QStackedWidget(this);
    content_->addWidget(buildErrorPage());
    content_->addWidget(buildLoadingPage());
    content_->addWidget(buildEmptyPage());
    content_->addWidget(buildListPage());
    layout->addWidget(content_, 1);
    toast_ = new DictToast(this);

    redraw_.follow(viewModel_.entries, viewModel_.query, viewModel_.isLoading, viewModel_.connection, viewModel_.toast,
                   viewModel_.showAddSheet, viewModel_.editing, viewModel_.showAuthSheet);
    refusal_ = viewModel_.errorText.subscribe([this](const std::optional<QString>& error) {
        // A change the data-sync client refused: the open sheet says why.
        for (DictEditorSheet* sheet : {addSheet_.data(), editSheet_.data()}) {
            if (sheet && error)
                sheet->showRefusal(*error);
        }
        redraw_.request();
    });
    render();
}

DictionaryView::~DictionaryView()
{
    redraw_.cancel();
    refusal_.cancel();
    // Sheets closing now must not write back into the model.
    for (DictEditorSheet* sheet : {addSheet_.data(), editSheet_.data()}) {
        if (sheet)
            sheet->disconnect(this);
    }
}

QWidget* DictionaryView::buildToolbar()
{
    auto* toolbar = new QWidget(this);
    auto* row = new QHBoxLayout(toolbar);
    row->setContentsMargins(14, 10, 14, 10);
    row->setSpacing(10);

    auto* searchBox = new TintedGround(6, 0.12, toolbar);
    searchBox->setMaximumWidth(280);
    auto* searchRow = new QHBoxLayout(searchBox);
    searchRow->setContentsMargins(10, 6, 10, 6);
    searchRow->setSpacing(6);
    searchRow->addWidget(new SymbolView(QStringLiteral("magnifyingglass"), 13, &WindowTheme::secondary, searchBox));
    search_ = new QLineEdit(searchBox);
    search_->setFrame(false);
    search_->setPlaceholderText(L10n::Dictionary::searchPlaceholder());
    QPalette clear = search_->palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    search_->setPalette(clear);
    searchRow->addWidget(search_, 1);
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text != viewModel_.query.value())
            viewModel_.query = text;
    });
    row->addWidget(searchBox, 1);

    // The pill's place takes what the field leaves, the pill at its right
    // end, cut short where it does not fit: the field gives up width only
    // when the pill is already as short as it gets.
    pillArea_ = new PillArea(toolbar);
    pillArea_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    pillSlot_ = new QHBoxLayout(pillArea_);
    pillSlot_->setContentsMargins(0, 0, 0, 0);
    pillSlot_->addStretch();
    row->addWidget(pillArea_);

    refresh_ = new SymbolButton(QStringLiteral("arrow.clockwise"), L10n::Dictionary::refresh(), 13,
                                &WindowTheme::primary, toolbar);
    connect(refresh_, &QPushButton::clicked, this, [this] { viewModel_.refresh(); });
    row->addWidget(refresh_);
    add_ = new SymbolButton(QStringLiteral("plus"), L10n::Dictionary::addEntry(), 13, &WindowTheme::primary, toolbar);
    add_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(add_, &QPushButton::clicked, this, [this] { viewModel_.showAddSheet = true; });
    row->addWidget(add_);
    return toolbar;
}

QWidget* DictionaryView::buildErrorPage()
{
    errorPage_ = new QWidget(this);
    QVBoxLayout* column = centredColumn(errorPage_, 10);
    addCentred(column,
               new SymbolView(QStringLiteral("exclamationmark.triangle"), 28, &WindowTheme::orange, errorPage_));
    errorLabel_ = centredText(QString(), WindowTheme::font(12), &WindowTheme::secondary, errorPage_);
    column->addWidget(errorLabel_);
    retry_ = new QPushButton(L10n::Dictionary::retry(), errorPage_);
    connect(retry_, &QPushButton::clicked, this, [this] { viewModel_.refresh(); });
    addCentred(column, retry_);
    column->addStretch();
    return errorPage_;
}

QWidget* DictionaryView::buildLoadingPage()
{
    loadingPage_ = new QWidget(this);
    QVBoxLayout* column = centredColumn(loadingPage_, 8);
    auto* spinner = new QProgressBar(loadingPage_);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedWidth(120);
    addCentred(column, spinner);
    addCentred(column, centredText(L10n::Dictionary::loading(), WindowTheme::font(12), &WindowTheme::secondary,
                                   loadingPage_));
    column->addStretch();
    return loadingPage_;
}

QWidget* DictionaryView::buildEmptyPage()
{
    emptyPage_ = new QWidget(this);
    QVBoxLayout* column = centredColumn(emptyPage_, 12);
    addCentred(column,
               new SymbolView(QStringLiteral("character.book.closed"), 36, &WindowTheme::secondary, emptyPage_));
    addCentred(column, centredText(L10n::Dictionary::emptyTitle(), WindowTheme::font(14, QFont::Medium),
                                   &WindowTheme::primary, emptyPage_));
    column->addWidget(
        centredText(L10n::Dictionary::emptyHint(), WindowTheme::font(12), &WindowTheme::secondary, emptyPage_));
    column->addSpacing(4);
    auto* addFirst = new ProminentButton(L10n::Dictionary::addFirstEntry(), emptyPage_);
    addFirst->setSymbol(QStringLiteral("plus"), 13);
    addFirst_ = addFirst;
    connect(addFirst_, &QPushButton::clicked, this, [this] { viewModel_.showAddSheet = true; });
    addCentred(column, addFirst_);
    column->addStretch();
    return emptyPage_;
}

QWidget* DictionaryView::buildListPage()
{
    list_ = new DictionaryList(this);
    QPointer<DictionaryViewModel> model(&viewModel_);
    list_->onEdit = [model](const DictEntry& entry) {
        if (model)
            model->editing = entry;
    };
    list_->onRemove = [model](const DictEntry& entry) {
        if (model)
            model->remove(entry);
    };
    return list_;
}

DictionaryView::Content DictionaryView::content() const
{
    QWidget* shown = content_->currentWidget();
    if (shown == errorPage_)
        return Content::error;
    if (shown == loadingPage_)
        return Content::loading;
    if (shown == emptyPage_)
        return Content::empty;
    return Content::list;
}

void DictionaryView::render()
{
    const DictionaryViewModel& model = viewModel_;
    if (search_->text() != model.query.value())
        search_->setText(model.query.value());
    renderPill(pillFor(model.connection.value()));
    refresh_->setEnabled(!model.isLoading.value());

    const QList<DictEntry> shown = model.filtered();
    list_->setEntries(shown);
    if (const std::optional<QString>& error = model.errorText.value()) {
        errorLabel_->setText(*error);
        content_->setCurrentWidget(errorPage_);
    } else if (model.isLoading.value() && model.entries.value().isEmpty()) {
        content_->setCurrentWidget(loadingPage_);
    } else if (shown.isEmpty()) {
        content_->setCurrentWidget(emptyPage_);
    } else {
        content_->setCurrentWidget(list_);
    }
    renderToast();
    presentSheets();
}

void DictionaryView::renderPill(const Pill& pill)
{
    if (pill_ == pill)
        return;
    pill_ = pill;
    delete pillWidget_;
    signInPill_ = nullptr;
    auto* capsule = new StatusPill(pill.text, pill.tone);
    if (pill.signIn) {
        signInPill_ = new QPushButton(this);
        signInPill_->setFlat(true);
        signInPill_->setCursor(Qt::PointingHandCursor);
        signInPill_->setToolTip(L10n::Dictionary::signInHelp());
        signInPill_->setAccessibleName(pill.text);
        auto* inside = new QHBoxLayout(signInPill_);
        inside->setContentsMargins(0, 0, 0, 0);
        capsule->setParent(signInPill_);
        capsule->setAttribute(Qt::WA_TransparentForMouseEvents);
        inside->addWidget(capsule);
        signInPill_->setFixedSize(capsule->sizeHint());
        connect(signInPill_, &QPushButton::clicked, this, [this] { viewModel_.showAuthSheet = true; });
        pillWidget_ = signInPill_;
    } else {
        capsule->setParent(this);
        capsule->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        pillWidget_ = capsule;
    }
    pillSlot_->addWidget(pillWidget_, 0, Qt::AlignVCenter);
}

void DictionaryView::renderToast()
{
    const std::optional<QString>& text = viewModel_.toast.value();
    if (toast_->isPresented() == text.has_value() && (!text || toast_->text() == *text))
        return;
    toast_->present(text);
    placeToast();
}

void DictionaryView::presentSheets()
{
    DictionaryViewModel& model = viewModel_;
    if (model.showAddSheet.value() && !addSheet_) {
        addSheet_ = openEditor(std::nullopt);
    } else if (!model.showAddSheet.value() && addSheet_) {
        std::exchange(addSheet_, nullptr)->reject();
    }

    const std::optional<DictEntry>& editing = model.editing.value();
    // The edit sheet belongs to one entry id: another id replaces it.
    if (editSheet_ && (!editing || editing->id != editSheet_->initial()->id))
        std::exchange(editSheet_, nullptr)->reject();
    if (editing && !editSheet_)
        editSheet_ = openEditor(*editing);

    if (model.showAuthSheet.value() && !signingIn_) {
        signingIn_ = true;
        QPointer<DictionaryView> self(this);
        auto closed = [self] {
            if (!self)
                return;
            self->signingIn_ = false;
            self->viewModel_.showAuthSheet = false;
            self->viewModel_.refresh();
        };
        if (presentSignIn_)
            presentSignIn_(window(), std::move(closed));
        else
            closed();
    }
}

DictEditorSheet* DictionaryView::openEditor(const std::optional<DictEntry>& initial)
{
    QPointer<DictionaryViewModel> model(&viewModel_);
    const std::optional<qint64> id = initial ? std::optional<qint64>(initial->id) : std::nullopt;
    auto submit = [model, id](const QString& term, const QString& replacement, const QString& note) {
        if (model)
            model->upsert(id, term, replacement, note);
    };
    auto* sheet = new DictEditorSheet(initial, std::move(submit), window());
    connect(sheet, &QDialog::finished, this, [this, sheet] { editorFinished(sheet); });
    sheet->open();
    return sheet;
}

void DictionaryView::editorFinished(DictEditorSheet* sheet)
{
    // A sheet the user cancelled tells the model; one the model closed is
    // no longer the current one.
    if (sheet == addSheet_) {
        addSheet_ = nullptr;
        viewModel_.showAddSheet = false;
    } else if (sheet == editSheet_) {
        editSheet_ = nullptr;
        viewModel_.stopEditing();
    }
    sheet->deleteLater();
}

void DictionaryView::placeToast()
{
    const QSize size = toast_->sizeHint();
    toast_->setGeometry((width() - size.width()) / 2, toastTop - DictToast::shadowMargin, size.width(),
                        size.height());
    toast_->raise();
}

void DictionaryView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeToast();
}

} // namespace vellamor
