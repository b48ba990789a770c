#pragma once

#include "DataSync/DataSyncConnection.h"
#include "DataSync/DictEntry.h"
#include "HistoryWindows/DictEditorSheet.h"
#include "Support/Async/Published.h"
#include "Windows/PillTone.h"
#include "Windows/RedrawBatch.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QHBoxLayout;
class QStackedWidget;
class QVBoxLayout;

namespace vellamor {

class DictToast;
class DictionaryList;
class DictionaryViewModel;

// The content of the dictionary window: a toolbar with the search field,
// the connection pill, refresh and add; below it the error, loading or
// empty state or the list of entries; the toast at the top; and the editor
// and sign-in sheets the view model asks for. It keeps no state of its
// own: it redraws from the view model on the turn after any change.
class DictionaryView : public QWidget {
    Q_OBJECT

public:
    // Shows the sign-in sheet over `parent` and calls `closed` once it has
    // gone, however it ended.
    using SignInPresenter = std::function<void(QWidget* parent, std::function<void()> closed)>;

    enum class Content { error, loading, empty, list };

    // What the connection pill says; `signIn` makes it a button that opens
    // the sign-in sheet.
    struct Pill {
        QString text;
        PillTone tone;
        bool signIn;

        friend bool operator==(const Pill&, const Pill&) = default;
    };
    static Pill pillFor(const DataSyncConnection& connection);

    DictionaryView(DictionaryViewModel& viewModel, SignInPresenter presentSignIn, QWidget* parent = nullptr);
    ~DictionaryView() override;

    Content content() const;
    QLineEdit& searchField() { return *search_; }
    QPushButton& refreshButton() { return *refresh_; }
    QPushButton& addButton() { return *add_; }
    QPushButton& retryButton() { return *retry_; }
    QPushButton& addFirstButton() { return *addFirst_; }
    QLabel& errorLabel() { return *errorLabel_; }
    const Pill& pill() const { return *pill_; }
    // The button around the pill while it offers sign-in.
    QPushButton* signInPill() const { return signInPill_; }
    // The entries' list; its rows are painted, not widgets.
    DictionaryList& list() { return *list_; }
    // The editor sheets on screen.
    DictEditorSheet* addSheet() const { return addSheet_; }
    DictEditorSheet* editSheet() const { return editSheet_; }
    DictToast& toast() { return *toast_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* buildToolbar();
    QWidget* buildErrorPage();
    QWidget* buildLoadingPage();
    QWidget* buildEmptyPage();
    QWidget* buildListPage();
    void render();
    void renderPill(const Pill& pill);
    void renderToast();
    void presentSheets();
    DictEditorSheet* openEditor(const std::optional<DictEntry>& initial);
    void editorFinished(DictEditorSheet* sheet);
    void placeToast();

    DictionaryViewModel& viewModel_;
    SignInPresenter presentSignIn_;
    RedrawBatch redraw_;
    Subscription refusal_;

    QLineEdit* search_ = nullptr;
    QWidget* pillArea_ = nullptr;
    QHBoxLayout* pillSlot_ = nullptr;
    QWidget* pillWidget_ = nullptr;
    QPushButton* signInPill_ = nullptr;
    std::optional<Pill> pill_;
    QPushButton* refresh_ = nullptr;
    QPushButton* add_ = nullptr;
    QStackedWidget* content_ = nullptr;
    QWidget* errorPage_ = nullptr;
    QLabel* errorLabel_ = nullptr;
    QPushButton* retry_ = nullptr;
    QWidget* loadingPage_ = nullptr;
    QWidget* emptyPage_ = nullptr;
    QPushButton* addFirst_ = nullptr;
    DictionaryList* list_ = nullptr;
    DictToast* toast_ = nullptr;
    QPointer<DictEditorSheet> addSheet_;
    QPointer<DictEditorSheet> editSheet_;
    bool signingIn_ = false;
};

} // namespace vellamor
