#pragma once

#include "AccountWindows/AccountServices.h"
#include "Diagnostics/DiagnosticsServices.h"
#include "I18n/LocaleResolver.h"
#include "Settings/SettingsStore.h"
#include "Settings/UserDefaults.h"
#include "SettingsWindow/SettingsPages.h"
#include "SettingsWindow/SettingsSection.h"
#include "SettingsWindow/SettingsStoreObservable.h"
#include "Support/Async/Published.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"
#include "Windows/WindowServices.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class QLineEdit;
class QPropertyAnimation;
class QScrollArea;
class QVBoxLayout;

namespace vellamor {

class SavedToast;
class SidebarRow;
class ThemeManager;

// The settings window: a sidebar of the sections under a search field, the
// selected section's page beside it, and the saved toast over both. The
// page is built anew whenever its section comes on screen. Closing only
// hides the window; the selection, the query, the toast and the binding
// stay. Main thread only.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    struct Dependencies {
        std::shared_ptr<SettingsStore> store;
        ThemeManager& theme;
        LocaleResolver& locale;
        WindowServices services;
        // Where the window's frame is kept between runs.
        std::shared_ptr<UserDefaults> defaults;
        // How the saved toast waits; false when cut short.
        SleepFunction sleep;
        DiagnosticsServices diagnostics;
        SettingsPageHooks pages;
        AccountServices account;
    };

    // The user defaults key of the window's frame.
    static QString frameKey() { return QStringLiteral("com.quorvex.vellamor.settings.window"); }
    // The frame a saveGeometry() blob holds; none when it holds none.
    static std::optional<QRect> savedFrame(const QByteArray& saved);
    // Whether `frame` lies wholly inside the available area of one screen.
    static bool fitsAvailableScreen(const QRect& frame);

    SettingsWindow(const Dependencies& dependencies, Published<SettingsSection>& selection);
    ~SettingsWindow() override;

    SettingsStoreObservable& binding() { return obs_; }
    QLineEdit& searchField() { return *searchField_; }
    const QList<SidebarRow*>& sidebarRows() const { return rows_; }
    // The page on screen and its section.
    QWidget* page() const { return page_; }
    SettingsSection shownSection() const { return shownSection_; }
    // Whether the toast is (being) shown.
    bool savedToastVisible() const { return savedToastVisible_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* buildSidebar(Published<SettingsSection>& selection);
    void showSection(SettingsSection section);
    void searchChanged(const QString& query);
    void focusSearch();
    void followLanguage(const QString& language);
    void flashSavedToast();
    void animateToast(bool visible);
    void placeToast();
    void restoreFrame();
    void saveFrame();

    Dependencies dependencies_;
    Published<SettingsSection>& selection_;
    SettingsStoreObservable obs_;
    QLineEdit* searchField_ = nullptr;
    QList<SidebarRow*> rows_;
    QScrollArea* detail_ = nullptr;
    QVBoxLayout* pageColumn_ = nullptr;
    QPointer<QWidget> page_;
    SettingsSection shownSection_;
    bool hiddenSinceBuilt_ = false;
    SavedToast* toast_;
    QPropertyAnimation* toastAnimation_;
    bool savedToastVisible_ = false;
    std::optional<TaskHandle> toastHideTask_;
    Subscription selectionSubscription_;
    Subscription languageSubscription_;
    Subscription tokenSubscription_;
};

} // namespace vellamor
