#pragma once

#include "SettingsWindow/LLMModelListStore.h"
#include "Support/Async/Published.h"
#include "Windows/RedrawBatch.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QWidget>

#include <memory>
#include <optional>

class QComboBox;

namespace vellamor {

class AuthSessionObserver;
class RefreshButton;
class SettingsStoreObservable;
class SettingsRow;
class ToggleSwitch;

// The recognition section: scene, polishing style and model, and what a
// dictation inserts. The model list belongs to the page: each showing of
// a new page fetches it again, for a signed-in user only.
class RecognitionPage : public QWidget {
    Q_OBJECT

public:
    // `models` lists the polishing models; none reads as a failed fetch.
    RecognitionPage(SettingsStoreObservable& obs, std::shared_ptr<AuthSessionObserver> auth,
                    std::shared_ptr<ModelAPIProtocol> models, QWidget* parent = nullptr);

    static QString modelLabel(const LLMModelOption& option);

    LLMModelListStore& modelStore() { return *store_; }
    ToggleSwitch& sceneAutoDetectSwitch() { return *sceneAutoDetect_; }
    QComboBox& scenePicker() { return *scenePicker_; }
    QComboBox& stylePicker() { return *stylePicker_; }
    QComboBox& modelPicker() { return *modelPicker_; }
    RefreshButton& refreshButton() { return *refreshButton_; }
    SettingsRow& modelRow() { return *modelRow_; }
    // The texts of the two output pills.
    QStringList outputPills() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool signedIn() const;
    QString modelSubtitle() const;
    void followAuthState(bool signedIn);
    void reloadModels();
    void reconcileSelectedModel();
    void showModels();
    void showOutput(bool polish);

    // First: the pickers subscribe as they are built.
    std::vector<Subscription> subscriptions_;
    SettingsStoreObservable& obs_;
    std::shared_ptr<AuthSessionObserver> auth_;
    std::shared_ptr<LLMModelListStore> store_;
    std::optional<bool> lastSignedIn_;
    ToggleSwitch* sceneAutoDetect_;
    QComboBox* scenePicker_;
    QComboBox* stylePicker_;
    QComboBox* modelPicker_;
    RefreshButton* refreshButton_;
    SettingsRow* modelRow_ = nullptr;
    QWidget* insertPill_;
    QWidget* polishPill_;
    RedrawBatch redraw_{this, [this] { showModels(); }};
};

} // namespace vellamor
