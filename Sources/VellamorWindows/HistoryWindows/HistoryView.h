#pragma once

#include "Windows/RedrawBatch.h"

#include <QPalette>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QPropertyAnimation;
class QStackedWidget;

namespace vellamor {

class HistoryRowList;
class HistoryViewModel;

// The whole content of the history panel: header, the hint strip, the list
// (or its error, loading or empty state), the warning strip and the footer.
// Keeps no state of its own: every change of a published field of the view
// model redraws it once on the next turn of the event loop. A click on a
// row inserts that record. Its colours follow the application's palette.
class HistoryView final : public QWidget {
    Q_OBJECT

public:
    // Sets one colour of the window theme on one part of the view.
    using Tints = std::vector<std::function<void()>>;

    explicit HistoryView(HistoryViewModel& model, QWidget* parent = nullptr);
    ~HistoryView() override;

    // The header's close button.
    std::function<void()> onClose;
    // Shows the sign-in sheet while the view model asks for it and calls
    // `dismissed` when it goes. Unset: no sheet is offered.
    std::function<void(std::function<void()> dismissed)> presentSignIn;

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildHintStrip();
    QWidget* buildErrorPage();
    QWidget* buildLoadingPage();
    QWidget* buildEmptyPage();
    QWidget* buildList();
    QWidget* buildBanner();
    QWidget* buildFooter();
    void followModel();
    // Colours everything in the application palette's light or dark.
    void restyle();
    void render();
    void renderBanner(const std::optional<QString>& text);
    void renderFooter();

    HistoryViewModel& model_;
    RedrawBatch redraw_;
    bool signInShown_ = false;
    Tints tints_;
    std::optional<QPalette> tintedWith_;

    QWidget* hintStrip_;
    QLabel* hintText_;
    QStackedWidget* content_;
    QLabel* errorText_;
    QWidget* errorPage_;
    QWidget* loadingPage_;
    QWidget* emptyPage_;
    HistoryRowList* list_;
    QWidget* bannerStrip_;
    QLabel* bannerText_;
    QPropertyAnimation* bannerAnimation_;
    std::optional<QString> shownBanner_;
    QWidget* copiedPill_;
    QLabel* footerLeft_;
    QLabel* footerRight_;
};

} // namespace vellamor
