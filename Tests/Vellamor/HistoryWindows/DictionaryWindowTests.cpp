#include "DictionaryFixture.h"
#include "LayoutSweep.h"

#include "DataSync/DataSyncError.h"
#include "HistoryWindows/DictToast.h"
#include "HistoryWindows/DictionaryWindowController.h"
#include "Models/NetworkError.h"
#include "SettingsWindow/ThemeManager.h"
#include "Windows/StatusPill.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

namespace vellamor::test {
namespace {

using Content = DictionaryView::Content;

class DictionaryWindowTest : public DictionaryTest {
protected:
    DictionaryWindowTest()
    {
        WindowServices services;
        services.dataSync = [fake = api] { return fake; };
        controller = std::make_unique<DictionaryWindowController>(
            DictionaryWindowController::Dependencies {services, auth->publisher(), clock.sleeper(),
                [this](QWidget*, std::function<void()> closed) {signInClosed = std::move(closed); }});
    }
    ~DictionaryWindowTest() override
    {
        controller.reset();
        settleWidgets();
    }

    void open()
    {
        controller->show();
        EXPECT_TRUE(settledUntil([this] { return !model().isLoading.value(); }));
    }
    DictionaryView& view() { return *controller->window(); }
    DictionaryViewModel& model() { return *controller->viewModel(); }

    std::function<void()> signInClosed;
    std::unique_ptr<DictionaryWindowController> controller;
};

TEST_F(DictionaryWindowTest, ContentShowsErrorThenLoadingThenEmptyThenTheList)
{
    open();
    struct Case {
        const char* name;
        QList<DictEntry> entries;
        bool loading;
        std::optional<QString> error;
        QString query;
        Content shown;
    };
    const QList<DictEntry> one
        = { entry(1, QStringLiteral("Vellamor"), QStringLiteral("wei la mo"), QStringLiteral("品牌")) };
    const Case cases[] = {
        { "error", one, true, QStringLiteral("记录不存在"), {}, Content::error },
        { "loading", {}, true, std::nullopt, {}, Content::loading },
        { "reloading", one, true, std::nullopt, {}, Content::list },
        { "empty", {}, false, std::nullopt, {}, Content::empty },
        { "no-match", one, false, std::nullopt, QStringLiteral("zzz"), Content::empty },
        { "list", one, false, std::nullopt, QStringLiteral(" VELL"), Content::list },
    };
    for (const Case& c : cases) {
        model().entries = c.entries;
        model().isLoading = c.loading;
        model().errorText = c.error;
        model().query = c.query;
        settleWidgets();
        EXPECT_EQ(view().content(), c.shown) << c.name;
        EXPECT_EQ(view().searchField().text(), c.query) << c.name;
        EXPECT_EQ(view().refreshButton().isEnabled(), !c.loading) << c.name;
        renderView(view(), QStringLiteral("dictionary-") + QString::fromUtf8(c.name));
    }
    view().searchField().setText(QStringLiteral("wei"));
    EXPECT_EQ(model().query.value(), QStringLiteral("wei"));
}

TEST_F(DictionaryWindowTest, AWindowLeftClosedIsReleasedAndComesBackWithItsQueryAndFrame)
{
    open();
    view().searchField().setText(QStringLiteral("vell"));
    view().setGeometry(QRect(QPoint(70, 60), QSize(700, 500)));
    const QRect frame = view().geometry();
    const int sleeps = clock.sleepsBegun();
    view().close();
    ASSERT_TRUE(waitUntil([&] { return clock.sleepsBegun() > sleeps; }));
    clock.advance(ClosedWindowRelease::delay);
    ASSERT_TRUE(waitUntil([&] { return controller->window() == nullptr; }));
    EXPECT_EQ(controller->viewModel(), nullptr);

    open();
    EXPECT_EQ(model().query.value(), QStringLiteral("vell"));
    EXPECT_EQ(view().searchField().text(), QStringLiteral("vell"));
    EXPECT_EQ(view().geometry(), frame);
}

// Offline, the pill grows into the gap before it; the search field keeps its
// width. Drawn light and dark.
TEST_F(DictionaryWindowTest, AGrowingPillLeavesTheSearchFieldItsWidth)
{
    ThemeManager theme(std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("theme.ini"))), nullptr);
    open();
    view().window()->resize(620, 480);
    const QWidget& field = *view().searchField().parentWidget();
    for (const ThemeMode mode : { ThemeMode::light, ThemeMode::dark }) {
        theme.setMode(mode);
        model().connection = DataSyncConnection::remote();
        settleWidgets();
        const int online = field.width();
        const QString reason = NetworkError(NetworkError::Kind::cannotConnect).errorDescription();
        model().connection = DataSyncConnection::local(reason);
        settleWidgets();
        EXPECT_EQ(field.width(), online) << rawValue(mode).toStdString();
        ASSERT_NE(view().findChild<StatusPill*>(), nullptr);
        EXPECT_EQ(view().findChild<StatusPill*>()->toolTip(), QStringLiteral("本地暂存 · ") + reason)
            << "cut short, the pill still tells the whole reason";
        const QStringList faults = layoutFaults(*view().window());
        EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
        renderView(view(), QStringLiteral("dictionary-offline-") + rawValue(mode));
    }
    theme.setMode(ThemeMode::system);
}

TEST_F(DictionaryWindowTest, ThePillSaysWhereTheEntriesLiveAndOffersSignIn)
{
    open();
    const std::pair<DataSyncConnection, DictionaryView::Pill> cases[] = {
        { DataSyncConnection::remote(), { QStringLiteral("已同步云端"), PillTone::success, false } },
        { DataSyncConnection::local(QStringLiteral("HTTP 503")),
            { QStringLiteral("本地暂存 · HTTP 503"), PillTone::warning, false } },
        { DataSyncConnection::local(QStringLiteral("登录服务繁忙")),
            { QStringLiteral("本地暂存 · 登录服务繁忙"), PillTone::warning, false } },
        { DataSyncConnection::signInNeeded(QStringLiteral("未登录账号")),
            { QStringLiteral("登录后云端同步"), PillTone::warning, true } },
        { DataSyncConnection::signInNeeded(QStringLiteral("登录已过期")),
            { QStringLiteral("登录后云端同步"), PillTone::warning, true } },
    };
    for (const auto& [connection, pill] : cases) {
        model().connection = connection;
        settleWidgets();
        EXPECT_EQ(view().pill(), pill) << pill.text.toStdString();
        EXPECT_EQ(view().signInPill() != nullptr, pill.signIn);
    }
    ASSERT_NE(view().signInPill(), nullptr);
    EXPECT_EQ(view().signInPill()->toolTip(), QStringLiteral("点击登录账号以开启云端同步"));
    view().signInPill()->click();
    settleWidgets();
    ASSERT_TRUE(signInClosed);
    EXPECT_TRUE(model().showAuthSheet.value());
    const int before = lists();
    signInClosed();
    EXPECT_TRUE(waitUntil([&] { return lists() == before + 1; })) << "closing the sign-in sheet, however, reloads";
    EXPECT_FALSE(model().showAuthSheet.value());
}

TEST_F(DictionaryWindowTest, RowsEditAndDeleteTheirEntry)
{
    api->dictionary = { entry(1, QStringLiteral("Vellamor"), QStringLiteral("wei la mo"), QStringLiteral("品牌")),
        entry(2, QStringLiteral("bare")) };
    open();
    ASSERT_EQ(view().list().entries().size(), 2);
    EXPECT_EQ(rowTexts(view().list(), 0),
        (QStringList { QStringLiteral("Vellamor"), QStringLiteral("wei la mo"), QStringLiteral("品牌") }));
    EXPECT_EQ(rowTexts(view().list(), 1), QStringList { QStringLiteral("bare") });
    renderView(view(), QStringLiteral("dictionary-rows"));
    clickRow(view().list(), 0, DictRow::Button::edit);
    DictEditorSheet* sheet = view().editSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(shownTexts(*sheet, standardText).first(), QStringLiteral("编辑词条"));
    EXPECT_EQ((QStringList { sheet->termField().text(), sheet->replacementField().text(), sheet->noteField().text() }),
        (QStringList { QStringLiteral("Vellamor"), QStringLiteral("wei la mo"), QStringLiteral("品牌") }));
    EXPECT_EQ(sheet->confirmButton().text(), QStringLiteral("保存"));
    renderView(*sheet, QStringLiteral("dictionary-edit-sheet"));
    sheet->termField().setText(QStringLiteral("Vellamor 2"));
    press(sheet->termField(), Qt::Key_Return);
    ASSERT_TRUE(settledUntil([&] { return view().toast().isPresented(); }));
    EXPECT_EQ(api->calls.last(), QStringLiteral("dict.upsert 1 Vellamor 2|wei la mo|品牌"));
    EXPECT_EQ(view().editSheet(), nullptr) << "closed once saved";
    view().toast().setReveal(1);
    renderView(view(), QStringLiteral("dictionary-toast"));
    clickRow(view().list(), 1, DictRow::Button::remove);
    ASSERT_TRUE(settledUntil([&] { return view().list().entries().size() == 1; }));
    EXPECT_EQ(api->calls.last(), QStringLiteral("dict.delete 2")) << "at once, without a question";
    EXPECT_EQ(view().list().entries().size(), 1);
}

TEST_F(DictionaryWindowTest, LongTextsElideInsideTheRowWhoseButtonsStayInView)
{
    const QString longTerm = QStringLiteral("术").repeated(128);
    api->dictionary
        = { entry(1, longTerm, QStringLiteral("wei la mo").repeated(20), QStringLiteral("备注").repeated(100)),
              entry(2, QStringLiteral("short")),
              entry(3, QStringLiteral("Vellamor"), QStringLiteral("replacement that is rather long").repeated(8)),
              entry(4, longTerm) };
    open();
    for (const int width : {520, 620, 1000}) {
        view().window()->resize(width, 480);
        settleWidgets();
        DictionaryList& list = view().list();
        const QRectF inside = list.viewport()->rect();
        for (int row = 0; row < list.entries().size(); ++row) {
            SCOPED_TRACE(width * 10 + row);
            const DictEntry& shown = list.entries()[row];
            const DictRow::Layout parts = list.rowLayout(row);
            EXPECT_TRUE(inside.contains(parts.edit) && inside.contains(parts.remove));
            EXPECT_LE(parts.term.right(), parts.edit.left());
            EXPECT_LE(std::max(parts.term.right(), parts.note.right()), parts.tag.isEmpty() ? parts.edit.left() : parts.tag.left());
            EXPECT_LE(parts.tag.right(), parts.edit.left());
            EXPECT_EQ(parts.termText == shown.term, shown.term.size() < 20) << "elided only when too long";
            if (parts.termText != shown.term && parts.replacementText != shown.replacement) {
                EXPECT_NEAR(parts.tag.width(), parts.term.width(), 1) << "a crowded row is shared in halves";
            }
        }
        EXPECT_EQ(list.horizontalScrollBar()->maximum(), 0);
        const QStringList faults = layoutFaults(*view().window());
        EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
        renderView(*view().window(), QStringLiteral("dictionary-long-texts-%1").arg(width));
    }
}

TEST_F(DictionaryWindowTest, TheListHasNoWidgetPerEntry)
{
    QList<DictEntry> many;
    for (int id = 1; id <= 5000; ++id)
        many.append(entry(id, QStringLiteral("词条 %1").arg(id, 4, 10, QChar(u'0')),
            id % 2 ? QStringLiteral("ci tiao") : QString(), id % 3 ? QString() : QStringLiteral("备注")));
    api->dictionary = many.mid(0, 1);
    open();
    const qsizetype withOne = view().findChildren<QWidget*>().size();
    api->dictionary = many;
    view().refreshButton().click();
    ASSERT_TRUE(settledUntil([&] { return view().list().entries().size() == 5000; }));
    EXPECT_EQ(view().findChildren<QWidget*>().size(), withOne);
    model().query = QStringLiteral("4999");
    settleWidgets();
    ASSERT_EQ(view().list().entries().size(), 1);
    EXPECT_EQ(rowTexts(view().list(), 0).first(), QStringLiteral("词条 4999"));
    EXPECT_EQ(view().findChildren<QWidget*>().size(), withOne);
}

TEST_F(DictionaryWindowTest, TheAddSheetSubmitsTheTrimmedTermAndStaysOpenOnAFailure)
{
    open();
    EXPECT_EQ(view().content(), Content::empty);
    EXPECT_EQ(view().addButton().shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    view().addFirstButton().click();
    settleWidgets();
    DictEditorSheet* sheet = view().addSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(shownTexts(*sheet, standardText),
        (QStringList { QStringLiteral("添加词条"),
            QStringLiteral("术语示例：人名、品牌、缩写。\n替换会用于辅助识别更准确的写法。"), QStringLiteral("取消"),
            QStringLiteral("添加") }));
    sheet->termField().setText(QStringLiteral("  \t "));
    EXPECT_FALSE(sheet->confirmButton().isEnabled());
    press(sheet->termField(), Qt::Key_Return);
    EXPECT_TRUE(api->calls.filter(QStringLiteral("dict.upsert")).isEmpty());
    renderView(*sheet, QStringLiteral("dictionary-add-sheet"));
    // Offline, the client refuses a change it cannot save with the remote error.
    api->dictAnswers[QStringLiteral("dict.upsert")].push_back(
        { {}, std::make_exception_ptr(DataSyncError::transport(QStringLiteral("HTTP 503"))), std::nullopt,
            DataSyncConnection::local(QStringLiteral("HTTP 503")) });
    sheet->termField().setText(QStringLiteral("  词条 "));
    sheet->replacementField().setText(QStringLiteral(" ci tiao "));
    press(sheet->noteField(), Qt::Key_Return);
    ASSERT_TRUE(settledUntil([&] { return view().content() == Content::error; }));
    EXPECT_EQ(api->calls.last(), QStringLiteral("dict.upsert nil 词条| ci tiao |"));
    EXPECT_EQ(view().addSheet(), sheet) << "a refused change keeps the sheet";
    renderView(*sheet, QStringLiteral("dictionary-refused"));
    EXPECT_EQ(view().content(), Content::error);
    EXPECT_EQ(view().errorLabel().text(), QStringLiteral("网络错误：HTTP 503"));
    EXPECT_TRUE(sheet->refusalLabel().isVisibleTo(sheet));
    EXPECT_EQ(sheet->refusalLabel().text(), QStringLiteral("网络错误：HTTP 503"));
    EXPECT_EQ(view().pill().text, QStringLiteral("已同步云端"));
    press(sheet->termField(), Qt::Key_Escape);
    EXPECT_EQ(view().addSheet(), nullptr);
    EXPECT_FALSE(model().showAddSheet.value());
    EXPECT_EQ(view().content(), Content::error) << "until a reload";
    view().retryButton().click();
    EXPECT_TRUE(settledUntil([&] { return view().content() == Content::empty; }));
}

} // namespace
} // namespace vellamor::test
