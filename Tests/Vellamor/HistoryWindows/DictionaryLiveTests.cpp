#include "DictionaryFixture.h"
#include "LiveServerFixture.h"
#include "RecordingUnauthorizedHandler.h"

#include "Auth/AuthSessionObserver.h"
#include "DataSync/DataSyncAPI.h"
#include "HistoryWindows/DictionaryWindowController.h"

#include <QLineEdit>

namespace vellamor::test {
namespace {

// The window with a real data-sync client against the development backend.
class DictionaryLiveTest : public LiveServerTest {
protected:
    std::unique_ptr<DictionaryWindowController> openWindow(const QString& cacheFolder)
    {
        WindowServices services;
        services.dataSync = [this, cacheFolder]() -> std::shared_ptr<DataSyncAPIProtocol> {
            auto token = []() -> QCoro::Task<std::optional<QString>> { co_return QStringLiteral("tok"); };
            return std::make_shared<DataSyncAPI>(
                server.baseURL(), makeSession(), token, std::make_shared<RecordingUnauthorizedHandler>(), cacheFolder);
        };
        auto controller = std::make_unique<DictionaryWindowController>(
            DictionaryWindowController::Dependencies {services, std::make_shared<AuthSessionObserver>(), {}, {}});
        controller->show();
        EXPECT_TRUE(settledUntil([&] { return !controller->viewModel()->isLoading.value(); }));
        return controller;
    }

    // Fills the open editor sheet and confirms it with Return.
    static void submit(DictEditorSheet& sheet, const QString& term, const QString& replacement = {})
    {
        sheet.termField().setText(term);
        sheet.replacementField().setText(replacement);
        press(sheet.termField(), Qt::Key_Return);
    }

    QTemporaryDir cache;
    QTemporaryDir freshCache;
};

TEST_F(DictionaryLiveTest, EntriesMadeInTheWindowComeBackFromTheServer)
{
    std::unique_ptr<DictionaryWindowController> controller = openWindow(cache.path());
    DictionaryView& view = *controller->window();
    EXPECT_EQ(view.pill().text, QStringLiteral("已同步云端"));

    view.addButton().click();
    settleWidgets();
    ASSERT_NE(view.addSheet(), nullptr);
    submit(*view.addSheet(), QStringLiteral(" 薇拉摩 "), QStringLiteral("wei la mo"));
    ASSERT_TRUE(settledUntil([&] { return view.addSheet() == nullptr; }));
    ASSERT_EQ(view.list().entries().size(), 1);
    EXPECT_EQ(view.list().entries()[0].term, QStringLiteral("薇拉摩"));

    clickRow(view.list(), 0, DictRow::Button::edit);
    ASSERT_NE(view.editSheet(), nullptr);
    submit(*view.editSheet(), QStringLiteral("Vellamor"), QStringLiteral("wei la mo"));
    ASSERT_TRUE(settledUntil([&] { return view.editSheet() == nullptr; }));

    // The limit counts user-perceived characters: each of these is four UTF-16 units.
    DictionaryViewModel& model = *controller->viewModel();
    for (const auto& [length, refusal] : { std::pair(128, std::optional<QString>()),
             std::pair(129, std::optional(QStringLiteral("术语过长（≤128）"))) }) {
        model.upsert(std::nullopt, QStringLiteral("👍🏽").repeated(length), {}, {});
        ASSERT_TRUE(settledUntil([&] { return model.errorText.value() || model.entries.value().size() == 2; }));
        EXPECT_EQ(model.errorText.value(), refusal) << length;
    }
    view.retryButton().click();
    // The reload ends first: a deletion answered before it would come back.
    ASSERT_TRUE(settledUntil(
        [&] { return view.content() == DictionaryView::Content::list && !model.isLoading.value(); }));
    ASSERT_EQ(view.list().entries().size(), 2);
    clickRow(view.list(), 1, DictRow::Button::remove);
    ASSERT_TRUE(settledUntil([&] { return view.list().entries().size() == 1; }));
    renderView(view, QStringLiteral("dictionary-live"));

    // Closing only hides the window: it comes back where the user left it.
    view.close();
    view.setGeometry(40, 50, 600, 420);
    controller->show();
    EXPECT_EQ(controller->window(), &view);
    EXPECT_EQ(view.geometry(), QRect(40, 50, 600, 420));

    // Another window with no cache of its own sees what the server holds.
    controller.reset();
    std::unique_ptr<DictionaryWindowController> reopened = openWindow(freshCache.path());
    ASSERT_EQ(reopened->window()->list().entries().size(), 1);
    EXPECT_EQ(reopened->window()->list().entries()[0].term, QStringLiteral("Vellamor"));
    EXPECT_EQ(reopened->window()->list().entries()[0].replacement, QStringLiteral("wei la mo"));
    EXPECT_EQ(reopened->window()->pill().text, QStringLiteral("已同步云端"));
}

} // namespace
} // namespace vellamor::test
