#include "LiveServerFixture.h"
#include "RecordingUnauthorizedHandler.h"
#include "WaitUntil.h"
#include "WidgetRendering.h"

#include "Auth/AuthSessionObserver.h"
#include "DataSync/DataSyncAPI.h"
#include "DevDataSync.h"
#include "HistoryWindows/DictRow.h"
#include "HistoryWindows/DictionaryWindowController.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;

// The window with a real data-sync client against the development backend.
class DictionaryLiveTest : public LiveServerTest {
protected:
    std::unique_ptr<DictionaryWindowController> openWindow(const QString& cacheFolder)
    {
        WindowServices services;
        services.dataSync = [this, cacheFolder]() -> std::shared_ptr<DataSyncAPIProtocol> {
            auto token = []() -> QCoro::Task<std::optional<QString>> { co_return u"tok"_s; };
            return std::make_shared<DataSyncAPI>(server.baseURL(), makeSession(), token,
                                                 std::make_shared<RecordingUnauthorizedHandler>(), cacheFolder);
        };
        auto controller = std::make_unique<DictionaryWindowController>(
            DictionaryWindowController::Dependencies {services, std::make_shared<AuthSessionObserver>(), {}, {}});
        controller->show();
        EXPECT_TRUE(waitUntil([&] { return !controller->viewModel()->isLoading.value(); }));
        settleWidgets();
        return controller;
    }

    // Fills the open editor sheet and confirms it with Return.
    static void submit(DictEditorSheet& sheet, const QString& term, const QString& replacement = {})
    {
        sheet.termField().setText(term);
        sheet.replacementField().setText(replacement);
        QKeyEvent returnKey(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(&sheet.termField(), &returnKey);
    }

    static QStringList shownTerms(DictionaryView& view)
    {
        QStringList terms;
        for (DictRow* row : view.rows())
            terms.append(row->entry().term);
        return terms;
    }

    QTemporaryDir cache;
    QTemporaryDir freshCache;
};

TEST_F(DictionaryLiveTest, EntriesMadeInTheWindowComeBackFromTheServer)
{
    std::unique_ptr<DictionaryWindowController> controller = openWindow(cache.path());
    DictionaryView& view = *controller->window();
    EXPECT_EQ(view.pill().text, u"已同步云端"_s);

    view.addButton().click();
    settleWidgets();
    ASSERT_NE(view.addSheet(), nullptr);
    submit(*view.addSheet(), u" 薇拉摩 "_s, u"wei la mo"_s);
    ASSERT_TRUE(waitUntil([&] { settleWidgets(); return view.addSheet() == nullptr; }));
    EXPECT_EQ(shownTerms(view), QStringList {u"薇拉摩"_s});

    view.rows()[0]->editButton().click();
    settleWidgets();
    ASSERT_NE(view.editSheet(), nullptr);
    submit(*view.editSheet(), u"Vellamor"_s, u"wei la mo"_s);
    ASSERT_TRUE(waitUntil([&] { settleWidgets(); return view.editSheet() == nullptr; }));

    // The limit counts user-perceived characters: each of these is one of four UTF-16 units.
    const std::pair<int, bool> lengths[] = {{128, true}, {129, false}};
    for (const auto& [length, accepted] : lengths) {
        view.addButton().click();
        settleWidgets();
        submit(*view.addSheet(), u"👍🏽"_s.repeated(length));
        ASSERT_TRUE(waitUntil([&] {
            settleWidgets();
            return view.addSheet() == nullptr || controller->viewModel()->errorText.value().has_value();
        }));
        EXPECT_EQ(view.addSheet() == nullptr, accepted) << length;
        EXPECT_EQ(controller->viewModel()->errorText.value(),
                  accepted ? std::nullopt : std::optional<QString>(u"术语过长（≤128）"_s));
    }
    view.addSheet()->reject();
    view.retryButton().click();
    ASSERT_TRUE(waitUntil([&] { settleWidgets(); return view.content() == DictionaryView::Content::list; }));
    ASSERT_EQ(view.rows().size(), 2u);
    const qint64 longID = view.rows()[1]->entry().id;
    view.rows()[1]->deleteButton().click();
    ASSERT_TRUE(waitUntil([&] { settleWidgets(); return view.rows().size() == 1; }));
    renderView(view, u"dictionary-live"_s);

    const devbackend::DevDataSync::Account* account = devbackend::DevDataSync::of(server)->account(u"tok"_s);
    ASSERT_NE(account, nullptr);
    ASSERT_EQ(account->dictionary.size(), 1);
    EXPECT_NE(account->dictionary[0].id, longID);
    EXPECT_EQ(account->dictionary[0].term, u"Vellamor"_s);

    // Another window with no cache of its own sees what the server holds.
    controller.reset();
    std::unique_ptr<DictionaryWindowController> reopened = openWindow(freshCache.path());
    EXPECT_EQ(shownTerms(*reopened->window()), QStringList {u"Vellamor"_s});
    EXPECT_EQ(reopened->window()->rows()[0]->entry().replacement, u"wei la mo"_s);
    EXPECT_EQ(reopened->window()->pill().text, u"已同步云端"_s);
}

} // namespace
} // namespace vellamor::test
