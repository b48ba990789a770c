#include "DictionaryFixture.h"

#include "DataSync/DataSyncError.h"

#include <QLocale>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class DictionaryViewModelTest : public DictionaryTest {
protected:
    // Waits still running end once the model is gone and the loop turns.
    ~DictionaryViewModelTest() override
    {
        owned.reset();
        settle();
    }

    std::unique_ptr<DictionaryViewModel> owned = std::make_unique<DictionaryViewModel>(dependencies());
    DictionaryViewModel& model = *owned;
};

TEST_F(DictionaryViewModelTest, LoadsSortedByTheLocaleAndKeepsWhatItHadWhenALoadFails)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    api->dictionary = {entry(3, u"上海"_s), entry(1, u"北京"_s), entry(5, u"同"_s, {}, u"first"_s),
                       entry(2, u"Apple"_s), entry(4, u"同"_s, {}, u"second"_s)};
    api->dictAnswers[u"dict.list"_s].push_back({100ms, nullptr, std::nullopt, std::nullopt});
    model.refresh();
    EXPECT_TRUE(model.isLoading.value());
    EXPECT_EQ(model.connection.value(), DataSyncConnection::local(u"尚未同步"_s));
    clock.advance(100ms);
    settle();
    QLocale::setDefault(before);
    EXPECT_FALSE(model.isLoading.value());
    // Pinyin order, not code points; the two equal terms keep their order.
    EXPECT_EQ(termsOf(model.entries.value()), (QStringList {u"北京"_s, u"上海"_s, u"同"_s, u"同"_s, u"Apple"_s}));
    EXPECT_EQ(model.entries.value()[2].note, u"first"_s);
    EXPECT_EQ(model.connection.value(), DataSyncConnection::remote());

    api->failNext(u"dict.list"_s, DataSyncError::business(50000, u"忙"_s), DataSyncConnection::local(u"忙"_s));
    model.refresh();
    settle();
    EXPECT_EQ(model.errorText.value(), u"业务错误 50000：忙"_s);
    EXPECT_EQ(model.entries.value().size(), 5);
    EXPECT_EQ(model.connection.value(), DataSyncConnection::remote());
    EXPECT_FALSE(model.isLoading.value());
    api->dictAnswers[u"dict.list"_s].push_back({100ms, nullptr, std::nullopt, std::nullopt});
    model.refresh();
    EXPECT_EQ(model.errorText.value(), std::nullopt) << "cleared as the reload starts";
    clock.advance(100ms);
    settle();
}

TEST_F(DictionaryViewModelTest, SearchMatchesTermReplacementOrNoteIgnoringCaseAndBlanks)
{
    const QList<DictEntry> entries = {entry(1, u"Vellamor"_s, u"wei la mo"_s, u"品牌"_s),
                                      entry(2, u"ÉCOLE"_s), entry(3, u"Москва"_s, {}, u"столица"_s),
                                      entry(4, u"ab"_s, {}, u"x y"_s)};
    const std::pair<QString, QList<qint64>> cases[] = {
        {u"   "_s, {1, 2, 3, 4}}, {u"  VELLA \n"_s, {1}}, {u"école"_s, {2}}, {u"СТОЛИЦА"_s, {3}},
        {u"LA MO"_s, {1}},      {u"X Y"_s, {4}},         {u"1"_s, {}},
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
    api->dictionary = {entry(10, u"b"_s), entry(20, u"d"_s), entry(30, u"e"_s), entry(30, u"f"_s)};
    model.refresh();
    settle();
    model.showAddSheet = true;
    model.upsert(std::nullopt, u"c"_s, u" r "_s, u" n"_s);
    settle();
    EXPECT_EQ(api->calls.last(), u"dict.upsert nil c| r | n"_s) << "the values go as given";
    EXPECT_EQ(termsOf(model.entries.value()), (QStringList {u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s}));
    EXPECT_EQ(model.toast.value(), u"已添加"_s);
    EXPECT_FALSE(model.showAddSheet.value());

    model.editing = model.entries.value()[2];
    model.upsert(20, u"a"_s, {}, {});
    settle();
    EXPECT_EQ(termsOf(model.entries.value()), (QStringList {u"a"_s, u"b"_s, u"c"_s, u"e"_s, u"f"_s}));
    EXPECT_EQ(model.toast.value(), u"已更新"_s);
    EXPECT_EQ(model.editing.value(), std::nullopt);

    // An id the list does not hold is appended, and the toast still follows the argument.
    model.upsert(99, u"z"_s, {}, {});
    settle();
    EXPECT_EQ(model.entries.value().last().id, 99);
    EXPECT_EQ(model.toast.value(), u"已更新"_s);

    model.remove(entry(30, u"e"_s));
    settle();
    EXPECT_EQ(termsOf(model.entries.value()), (QStringList {u"a"_s, u"b"_s, u"c"_s, u"z"_s}));
    EXPECT_EQ(model.toast.value(), u"已删除"_s);
    EXPECT_EQ(model.errorText.value(), std::nullopt);
}

// Offline, the client refuses changes to server entries with the remote
// error and a missing local entry with "记录不存在": the user sees it and the
// open sheet, the list and the pill stay as they were.
TEST_F(DictionaryViewModelTest, AFailedChangeShowsItsErrorAndLeavesSheetListAndPill)
{
    api->dictionary = {entry(10, u"b"_s)};
    model.refresh();
    settle();
    const DataSyncConnection offline = DataSyncConnection::local(u"网络错误：HTTP 503"_s);
    struct Case {
        QString kind;
        std::function<void()> change;
        std::exception_ptr failure;
        QString error;
    };
    const Case cases[] = {
        {u"dict.upsert"_s, [&] { model.upsert(10, u"b2"_s, {}, {}); },
         std::make_exception_ptr(DataSyncError::transport(u"HTTP 503"_s)), u"网络错误：HTTP 503"_s},
        {u"dict.delete"_s, [&] { model.remove(entry(-3, u"x"_s)); },
         std::make_exception_ptr(DataSyncError::notFound()), u"记录不存在"_s},
    };
    for (const Case& c : cases) {
        api->dictAnswers[c.kind].push_back({0ms, c.failure, std::nullopt, offline});
        model.editing = entry(10, u"b"_s);
        c.change();
        settle();
        EXPECT_EQ(model.errorText.value(), c.error);
        EXPECT_EQ(model.editing.value(), entry(10, u"b"_s));
        EXPECT_EQ(termsOf(model.entries.value()), QStringList {u"b"_s});
        EXPECT_EQ(model.toast.value(), std::nullopt);
        EXPECT_EQ(model.connection.value(), DataSyncConnection::remote());
    }
}

TEST_F(DictionaryViewModelTest, AnOlderReloadEndingLastIsDropped)
{
    auto& lists = api->dictAnswers[u"dict.list"_s];
    lists.push_back({300ms, nullptr, QList<DictEntry> {entry(1, u"old"_s)}, DataSyncConnection::local(u"旧"_s)});
    lists.push_back({100ms, nullptr, QList<DictEntry> {entry(2, u"new"_s)}, std::nullopt});
    lists.push_back({300ms, std::make_exception_ptr(DataSyncError::notFound()), std::nullopt, std::nullopt});
    lists.push_back({100ms, nullptr, QList<DictEntry> {entry(3, u"newest"_s)}, std::nullopt});
    for (const QString& expected : {u"new"_s, u"newest"_s}) {
        model.refresh();
        model.refresh();
        clock.advance(100ms);
        settle();
        EXPECT_FALSE(model.isLoading.value()) << "the first reload to end clears it";
        clock.advance(200ms);
        settle();
        EXPECT_EQ(termsOf(model.entries.value()), QStringList {expected});
        EXPECT_EQ(model.connection.value(), DataSyncConnection::remote());
        EXPECT_EQ(model.errorText.value(), std::nullopt);
    }
}

TEST_F(DictionaryViewModelTest, EachToastClearsWhateverShowsWhenItsTimeIsUp)
{
    model.upsert(std::nullopt, u"a"_s, {}, {});
    settle();
    clock.advance(1000ms);
    model.remove(entry(101, u"a"_s));
    settle();
    EXPECT_EQ(model.toast.value(), u"已删除"_s);
    clock.advance(400ms);
    settle();
    EXPECT_EQ(model.toast.value(), std::nullopt) << "cleared with the first toast's time";
}

TEST_F(DictionaryViewModelTest, ReloadsOnlyWhenTheSignedInStateReallyChanges)
{
    settle();
    EXPECT_EQ(lists(), 0) << "the state delivered on subscription reloads nothing";
    signIn();
    settle();
    EXPECT_EQ(lists(), 1);
    signOut();
    settle();
    EXPECT_EQ(lists(), 2);
}

} // namespace
} // namespace vellamor::test
