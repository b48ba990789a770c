#pragma once

#include "DataSync/DictEntry.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vellamor {

// The sheet in which the user adds an entry (no initial entry) or edits
// one. Confirming hands the trimmed term and the replacement and note as
// typed to `onSubmit`; it does nothing while the trimmed term is empty.
// The sheet closes itself only when cancelled (also by Escape): whoever
// presents it closes it once the change has been saved, or hands it the
// reason the change was refused.
class DictEditorSheet : public QDialog {
    Q_OBJECT

public:
    using Submit = std::function<void(const QString& term, const QString& replacement, const QString& note)>;

    DictEditorSheet(std::optional<DictEntry> initial, Submit onSubmit, QWidget* parent = nullptr);

    const std::optional<DictEntry>& initial() const { return initial_; }
    // Shown under the fields when it answers the last confirmation; a
    // refusal of anything else is not this sheet's.
    void showRefusal(const QString& reason);
    QLineEdit& termField() { return *term_; }
    QLineEdit& replacementField() { return *replacement_; }
    QLineEdit& noteField() { return *note_; }
    QPushButton& cancelButton() { return *cancel_; }
    QPushButton& confirmButton() { return *confirm_; }
    QLabel& refusalLabel() { return *refusal_; }

private:
    void confirm();

    std::optional<DictEntry> initial_;
    Submit onSubmit_;
    QLineEdit* term_;
    QLineEdit* replacement_;
    QLineEdit* note_;
    QPushButton* cancel_;
    QPushButton* confirm_;
    QLabel* refusal_;
    bool awaitingAnswer_ = false;
};

} // namespace vellamor
