#include "DictionaryFixture.h"
#include "RecordingUnauthorizedHandler.h"
#include "ScriptedHTTPSession.h"

#include "DataSync/DataSyncAPI.h"
#include "DataSync/DataSyncError.h"
#include "DataSync/LocalDataStore.h"
#include "Models/NetworkError.h"

#include <QFile>
#include <QLocale>

#include <sys/inotify.h>
#include <unistd.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

class DictionaryViewModelTest : public DictionaryTest {
protected:
    // Waits still running end once the model is gone.
    ~DictionaryViewModelTest() override
    {
        owned.reset();
        settle();
    }

    std::unique_ptr<DictionaryViewModel> owned = std::make_unique<DictionaryViewModel>(
        DictionaryViewModel::Dependencies {api, auth->publisher(), clock.sleeper()});
    DictionaryViewModel& model = *owned;
};

TEST_F(DictionaryViewModelTest, LoadsSortedByTheLocaleAfterAFailedLoad)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    api->dictionary = { entry(3, QStringLiteral("上海")), entry(1, QStringLiteral("北京")),
        entry(5, QStringLiteral("同"), {}, QStringLiteral("first")), entry(2, QStringLiteral("Apple")),
        entry(4, QStringLiteral("同"), {}, QStringLiteral("second")) };
    auto& answers = api->dictAnswers[QStringLiteral("dict.list")];
    answers.push_back({ 0ms, std::make_exception_ptr(DataSyncError::business(50000, QStringLiteral("忙"))),
        std::nullopt, DataSyncConnection::local(QStringLiteral("忙")) });
    answers.push_back({100ms, nullptr, std::nullopt, std::nullopt});
    model.refresh();
    settle();
    EXPECT_EQ(model.errorText.value(), QStringLiteral("业务错误 50000：忙"));
    EXPECT_EQ(model.connection.value(), DataSyncConnection::local(QStringLiteral("尚未同步"))) << "kept on a failure";
    model.refresh();
    EXPECT_EQ(model.errorText.value(), std::nullopt) << "cleared as the reload starts";
    EXPECT_TRUE(model.isLoading.value());
    clock.advance(100ms);
    settle();
    QLocale::setDefault(before);
    EXPECT_FALSE(model.isLoading.value());
    // Pinyin order, not code points; the two equal terms keep their order.
    EXPECT_EQ(termsOf(model.entries.value()),
        (QStringList { QStringLiteral("北京"), QStringLiteral("上海"), QStringLiteral("同"), QStringLiteral("同"),
            QStringLiteral("Apple") }));
    EXPECT_EQ(model.entries.value()[2].note, QStringLiteral("first"));
    EXPECT_EQ(model.connection.value(), DataSyncConnection::remote());
}

// A window just opened shows what this computer kept until the service
// answers; later reloads show the list they will replace.
TEST_F(DictionaryViewModelTest, OnlyTheFirstReloadShowsTheLocalCacheUntilTheAnswer)
{
    api->cachedEntries = { entry(2, QStringLiteral("b")), entry(1, QStringLiteral("a")) };
    api->dictionary = { entry(1, QStringLiteral("a")), entry(3, QStringLiteral("c")) };
    const QStringList answered { QStringLiteral("a"), QStringLiteral("c") };
    for (const QStringList& shown : { QStringList { QStringLiteral("a"), QStringLiteral("b") }, answered }) {
        api->dictAnswers[QStringLiteral("dict.list")].push_back({ 100ms, nullptr, std::nullopt, std::nullopt });
        model.refresh();
        settle();
        EXPECT_EQ(termsOf(model.entries.value()), shown);
        clock.advance(100ms);
        settle();
        EXPECT_EQ(termsOf(model.entries.value()), answered);
        api->cachedEntries = { entry(9, QStringLiteral("z")) };
    }
}

TEST_F(DictionaryViewModelTest, SearchMatchesTermReplacementOrNoteIgnoringCaseAndBlanks)
{
    const QList<DictEntry> entries
        = { entry(1, QStringLiteral("Vellamor"), QStringLiteral("wei la mo"), QStringLiteral("品牌")),
              entry(2, QStringLiteral("ÉCOLE")), entry(3, QStringLiteral("Москва"), {}, QStringLiteral("столица")),
              entry(4, QStringLiteral("ab"), {}, QStringLiteral("x y")) };
    const std::pair<QString, QList<qint64>> cases[] = {
        { QStringLiteral("   "), { 1, 2, 3, 4 } },
        { QStringLiteral("  VELLA \n"), { 1 } },
        { QStringLiteral("école"), { 2 } },
        { QStringLiteral("СТОЛИЦА"), { 3 } },
        { QStringLiteral("LA MO"), { 1 } },
        { QStringLiteral("X Y"), { 4 } },
        { QStringLiteral("1"), {} },
    };
    for (const auto& [query, ids] : cases) {
        QList<qint64> found;
        for (const DictEntry& e : DictionaryViewModel::filter(entries, query))
            found.append(e.id);
        EXPECT_EQ(found, ids) << query.toStdString();
    }
}

TEST_F(DictionaryViewModelTest, ChangesUpdateTheListInPlaceWithAToastByWhatWasAsked)
{
    api->dictionary = { entry(10, QStringLiteral("b")), entry(20, QStringLiteral("d")), entry(30, QStringLiteral("e")),
        entry(30, QStringLiteral("f")) };
    model.refresh();
    settle();
    // The saved entry replaces the one with its id or is appended; the toast
    // follows the argument, whatever the list held.
    const std::tuple<std::optional<qint64>, QString, QStringList, QString> cases[] = {
        { std::nullopt, QStringLiteral("c"),
            { QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f") },
            QStringLiteral("已添加") },
        { 20, QStringLiteral("a"),
            { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("e"), QStringLiteral("f") },
            QStringLiteral("已更新") },
        { 99, QStringLiteral("z"),
            { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("e"), QStringLiteral("f"),
                QStringLiteral("z") },
            QStringLiteral("已更新") },
    };
    for (const auto& [id, term, terms, toast] : cases) {
        model.showAddSheet = true;
        model.editing = entry(20, QStringLiteral("d"));
        model.upsert(id, term, QStringLiteral(" r "), {});
        settle();
        EXPECT_EQ(api->calls.last().section(u' ', 2), term + QStringLiteral("| r |")) << "the values go as given";
        EXPECT_EQ(termsOf(model.entries.value()), terms);
        EXPECT_EQ(model.toast.value(), toast);
        EXPECT_FALSE(model.showAddSheet.value());
        EXPECT_EQ(model.editing.value(), std::nullopt);
    }
    clock.advance(1000ms);
    model.remove(entry(30, QStringLiteral("e")));
    settle();
    EXPECT_EQ(termsOf(model.entries.value()),
        (QStringList { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("z") }));
    EXPECT_EQ(model.toast.value(), QStringLiteral("已删除"));
    EXPECT_EQ(model.errorText.value(), std::nullopt);
    // Each toast's wait clears whatever shows when it ends: here the first's.
    clock.advance(400ms);
    settle();
    EXPECT_EQ(model.toast.value(), std::nullopt);
}

// The error state hides the list: a change that succeeds after a refused one
// shows the list it left.
TEST_F(DictionaryViewModelTest, AChangeThatSucceedsClearsTheRefusalBeforeIt)
{
    api->dictionary = { entry(1, QStringLiteral("a")) };
    model.refresh();
    settle();
    const auto refusal = std::make_exception_ptr(DataSyncError::invalidInput(QStringLiteral("术语过长（≤128）")));
    for (const QString& kind : { QStringLiteral("dict.upsert"), QStringLiteral("dict.delete") }) {
        api->dictAnswers[kind].push_back({ 0ms, refusal, std::nullopt, std::nullopt });
        for (const bool refused : { true, false }) {
            if (kind == u"dict.upsert")
                model.upsert(std::nullopt, QStringLiteral("b"), {}, {});
            else
                model.remove(entry(1, QStringLiteral("a")));
            settle();
            EXPECT_EQ(model.errorText.value().has_value(), refused) << kind.toStdString();
        }
    }
    EXPECT_EQ(termsOf(model.entries.value()), QStringList { QStringLiteral("b") });
}

TEST_F(DictionaryViewModelTest, AnOlderReloadEndingLastIsDropped)
{
    auto& answers = api->dictAnswers[QStringLiteral("dict.list")];
    answers.push_back({ 300ms, nullptr, QList<DictEntry> { entry(1, QStringLiteral("old")) },
        DataSyncConnection::local(QStringLiteral("旧")) });
    answers.push_back({ 100ms, nullptr, QList<DictEntry> { entry(2, QStringLiteral("new")) }, std::nullopt });
    model.refresh();
    model.refresh();
    clock.advance(100ms);
    settle();
    EXPECT_FALSE(model.isLoading.value()) << "the first reload to end clears it";
    clock.advance(200ms);
    settle();
    EXPECT_EQ(termsOf(model.entries.value()), QStringList { QStringLiteral("new") });
    EXPECT_EQ(model.connection.value(), DataSyncConnection::remote());
}

TEST_F(DictionaryViewModelTest, AReloadAnsweredAfterAChangeDoesNotUndoIt)
{
    const QList<DictEntry> before = { entry(1, QStringLiteral("a")), entry(2, QStringLiteral("b")) };
    const std::pair<const char*, std::function<void()>> changes[] = {
        { "add", [&] { model.upsert(std::nullopt, QStringLiteral("c"), {}, {}); } },
        { "edit", [&] { model.upsert(2, QStringLiteral("z"), {}, {}); } },
        { "delete", [&] { model.remove(before[1]); } },
    };
    for (const auto& [name, change] : changes) {
        api->dictionary = before;
        model.refresh();
        ASSERT_TRUE(waitUntil([&] { return !model.isLoading.value(); }));
        // Read by the server before the change, answered after it.
        api->dictAnswers[QStringLiteral("dict.list")].push_back({ 100ms, nullptr, before, std::nullopt });
        model.refresh();
        change();
        ASSERT_TRUE(waitUntil([&] { return model.entries.value() != before; })) << name;
        api->dictionary = model.entries.value();
        clock.advance(100ms);
        ASSERT_TRUE(waitUntil([&] { return !model.isLoading.value(); })) << name;
        EXPECT_EQ(termsOf(model.entries.value()), termsOf(api->dictionary)) << name;
    }
}

TEST_F(DictionaryViewModelTest, ReloadsOnlyWhenTheSignedInStateReallyChanges)
{
    settle();
    EXPECT_EQ(lists(), 0) << "the state delivered on subscription reloads nothing";
    signIn();
    settle();
    EXPECT_EQ(lists(), 1);
    authAPI->succeed(FakeAuthAPI::Op::logout);
    runBlocking(auth->logout());
    settle();
    EXPECT_EQ(lists(), 2);
}

// Counts how often a file in a folder is opened, from now on.
class FileOpens {
public:
    FileOpens(const QString& folder, QString name)
        : events_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
        , name_(std::move(name))
    {
        // Closes too: the kernel merges an event into the same one unread before it.
        ::inotify_add_watch(events_, QFile::encodeName(folder).constData(), IN_OPEN | IN_CLOSE);
    }
    ~FileOpens() { ::close(events_); }
    FileOpens(const FileOpens&) = delete;
    FileOpens& operator=(const FileOpens&) = delete;

    int count()
    {
        alignas(inotify_event) char buffer[4096];
        ssize_t length = 0;
        while ((length = ::read(events_, buffer, sizeof buffer)) > 0) {
            for (ssize_t offset = 0; offset < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                if ((event->mask & IN_OPEN) && event->len > 0 && QString::fromUtf8(event->name) == name_)
                    ++count_;
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return count_;
    }

private:
    int events_;
    QString name_;
    int count_ = 0;
};

// Opening the window shows the cache at once and lists the dictionary: the
// cache is parsed once, whether the service answers or not, unless another
// client changed it meanwhile, whose entry is then kept.
TEST_F(DictionaryViewModelTest, AnOpeningReadsTheCacheOnce)
{
    enum class Answer { listed, unreachable, listedAfterAnotherWrite };
    const struct {
        Answer answer;
        int reads;
        // In code-point order.
        QStringList shown;
    } cases[] = {
        { Answer::listed, 1, { QStringLiteral("云端"), QStringLiteral("本地") } },
        { Answer::unreachable, 1, { QStringLiteral("云端"), QStringLiteral("本地") } },
        { Answer::listedAfterAnotherWrite, 2,
            { QStringLiteral("云端"), QStringLiteral("另一个"), QStringLiteral("本地") } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        QTemporaryDir cacheFolder;
        LocalDataStore(cacheFolder.path())
            .saveDictionary({ entry(5, QStringLiteral("云端")), entry(-1, QStringLiteral("本地")) });
        auto session = std::make_shared<ScriptedHTTPSession>();
        if (c.answer == Answer::unreachable)
            session->fail(NetworkError(NetworkError::Kind::cannotConnect, QStringLiteral("Connection refused")));
        else
            session->respond(200, R"({"code":0,"msg":"ok","data":{"entries":[{"id":5,"term":"云端","phonetic":"",)"
                                  R"("note":"","created_at":"1970-01-01T00:00:00Z",)"
                                  R"("updated_at":"1970-01-01T00:00:00Z"}]}})");
        if (c.answer == Answer::listedAfterAnotherWrite)
            session->held();
        auto token = []() -> QCoro::Task<std::optional<QString>> { co_return QStringLiteral("tok"); };
        DictionaryViewModel opened({ std::make_shared<DataSyncAPI>(QUrl(QStringLiteral("http://127.0.0.1:9/")), session,
                                         token, std::make_shared<RecordingUnauthorizedHandler>(), cacheFolder.path()),
            auth->publisher(), clock.sleeper() });
        FileOpens reads(cacheFolder.path(), QStringLiteral("dictionary.json"));
        opened.refresh();
        if (c.answer == Answer::listedAfterAnotherWrite) {
            ASSERT_TRUE(settledUntil([&] { return session->requests().size() == 1; }));
            LocalDataStore(cacheFolder.path()).upsertDictionary(std::nullopt, QStringLiteral("另一个"), {}, {});
            session->release();
        }
        ASSERT_TRUE(settledUntil([&] { return !opened.isLoading.value(); }));
        // Another client's own reads of the file are not the window's.
        const int extra = c.answer == Answer::listedAfterAnotherWrite ? 1 : 0;
        EXPECT_EQ(reads.count() - extra, c.reads);
        QStringList shown = termsOf(opened.entries.value());
        QStringList kept = termsOf(LocalDataStore(cacheFolder.path()).loadDictionary());
        shown.sort();
        kept.sort();
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(kept, c.shown);
    }
}

} // namespace
} // namespace vellamor::test
