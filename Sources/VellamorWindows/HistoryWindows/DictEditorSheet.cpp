#include "HistoryWindows/DictEditorSheet.h"

#include "I18n/L10n.h"
#include "Windows/FixedDialog.h"
#include "Windows/LabelText.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace vellamor {

DictEditorSheet::DictEditorSheet(std::optional<DictEntry> initial, Submit onSubmit, QWidget* parent)
    : QDialog(parent)
    , initial_(std::move(initial))
    , onSubmit_(std::move(onSubmit))
    , term_(new QLineEdit(this))
    , replacement_(new QLineEdit(this))
    , note_(new QLineEdit(this))
    , cancel_(new QPushButton(literalLabel(L10n::Dictionary::cancel()), this))
    , confirm_(new QPushButton(literalLabel(initial_ ? L10n::Dictionary::save() : L10n::Dictionary::add()), this))
    , refusal_(new ThemedLabel(QString(), WindowTheme::font(11), &WindowTheme::red, this))
{
    const QString title = initial_ ? L10n::Dictionary::editEntry() : L10n::Dictionary::addEntry();
    setWindowTitle(title);
    setFixedDialogFrame(*this);
    setWindowModality(Qt::WindowModal);
    setFixedWidth(380);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(new ThemedLabel(title, WindowTheme::font(15, QFont::DemiBold), &WindowTheme::primary, this));

    auto* form = new QVBoxLayout;
    form->setSpacing(8);
    const std::pair<QLineEdit*, QString> fields[] = {
        {term_, L10n::Dictionary::termPlaceholder()},
        {replacement_, L10n::Dictionary::replacementPlaceholder()},
        {note_, L10n::Dictionary::notePlaceholder()},
    };
    for (const auto& [field, placeholder] : fields) {
        field->setPlaceholderText(placeholder);
        field->setFixedWidth(340);
        form->addWidget(field);
    }
    layout->addLayout(form);
    if (initial_) {
        term_->setText(initial_->term);
        replacement_->setText(initial_->replacement);
        note_->setText(initial_->note);
    }

    auto* help = new ThemedLabel(L10n::Dictionary::editorHelp(), WindowTheme::font(11), &WindowTheme::secondary, this);
    help->setWordWrap(true);
    layout->addWidget(help);
    refusal_->setWordWrap(true);
    refusal_->hide();
    layout->addWidget(refusal_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addWidget(confirm_);
    layout->addLayout(buttons);

    // Return always means the confirm button, whichever control has focus;
    // Escape rejects the dialog.
    cancel_->setAutoDefault(false);
    confirm_->setAutoDefault(false);
    confirm_->setDefault(true);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(confirm_, &QPushButton::clicked, this, &DictEditorSheet::confirm);
    const auto followTerm = [this] { confirm_->setEnabled(!term_->text().trimmed().isEmpty()); };
    connect(term_, &QLineEdit::textChanged, this, followTerm);
    followTerm();
}

void DictEditorSheet::confirm()
{
    const QString term = term_->text().trimmed();
    if (term.isEmpty())
        return;
    refusal_->hide();
    awaitingAnswer_ = true;
    onSubmit_(term, replacement_->text(), note_->text());
}

void DictEditorSheet::showRefusal(const QString& reason)
{
    if (!std::exchange(awaitingAnswer_, false))
        return;
    refusal_->setText(reason);
    refusal_->show();
}

} // namespace vellamor
