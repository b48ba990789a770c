#pragma once

#include "DataSync/DictEntry.h"

#include <QWidget>

class QPushButton;

namespace vellamor {

class DictionaryViewModel;

// One entry of the dictionary list: its term, the note under it when there
// is one, the replacement as a tag when there is one, and the edit and
// delete buttons. Deleting asks no question.
class DictRow : public QWidget {
    Q_OBJECT

public:
    DictRow(const DictEntry& entry, DictionaryViewModel& viewModel, QWidget* parent = nullptr);

    const DictEntry& entry() const { return entry_; }
    QPushButton& editButton() { return *edit_; }
    QPushButton& deleteButton() { return *delete_; }

private:
    DictEntry entry_;
    QPushButton* edit_;
    QPushButton* delete_;
};

} // namespace vellamor
