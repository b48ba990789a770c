#include "DictionaryFixture.h"

#include "DataSync/DataSyncError.h"

#include <QLocale>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
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
    api->dictionary = {entry(3, u"上海"_s), entry(1, u"北京"_s), entry(5, u"同"_s, {}, u"first"_s),
        entry(2, u"Apple"_s), entry(4, u"同"_s, {}, u"second"_s)};
    auto& answers = api->dictAnswers[u"dict.list"_s];
    answers.push_back({0ms, std::make_exception_ptr(DataSyncError::business(50000, u"忙"_s)), std::nullopt,
        DataSyncConnection::local(u"忙"_s)});
    answers.push_back({100ms, nullptr, std::nullopt, std::nullopt});
    model.refresh();
    settle();
    EXPECT_EQ(model.errorText.value(), u"业务错误 50000：忙"_s);
    EXPECT_EQ(model.connection.value(), DataSyncConnection::local(u"尚未同步"_s)) << "kept on a failure";
    model.refresh();
    EXPECT_EQ(model.errorText.value(), std::nullopt) << "cleared as the reload starts";
    EXPECT_TRUE(model.isLoading.value());
    clock.advance(100ms);
    settle();
    QLocale::setDefault(before);
    EXPECT_FALSE(model.isLoading.value());
    // Pinyin order, not code points; the two equal terms keep their order.
    EXPECT_EQ(termsOf(model.entries.value()), (QStringList {u"北京"_s, u"上海"_s, u"同"_s, u"同"_s, u"Apple"_s}));
    EXPECT_EQ(model.entries.value()[2].note, u"first"_s);
    EXPECT_EQ(model.connection.value(), DataSyncConnection::remote());
}

TEST_F(DictionaryViewModelTest, SearchMatchesTermReplacementOrNoteIgnoringCaseAndBlanks)
{
    const QList<DictEntry> entries = {entry(1, u"Vellamor"_s, u"wei la mo"_s, u"品牌"_s), entry(2, u"ÉCOLE"_s),
        entry(3, u"Москва"_s, {}, u"столица"_s), entry(4, u"ab"_s, {}, u"x y"_s)};
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
    // The saved entry replaces the one with its id or is appended; the toast
    // follows the argument, whatever the list held.
    const std::tuple<std::optional<qint64>, QString, QStringList, QString> cases[] = {
        {std::nullopt, u"c"_s, {u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s}, u"已添加"_s},
        {20, u"a"_s, {u"a"_s, u"b"_s, u"c"_s, u"e"_s, u"f"_s}, u"已更新"_s},
        {99, u"z"_s, {u"a"_s, u"b"_s, u"c"_s, u"e"_s, u"f"_s, u"z"_s}, u"已更新"_s},
    };
    for (const auto& [id, term, terms, toast] : cases) {
        model.showAddSheet = true;
        model.editing = entry(20, u"d"_s);
        model.upsert(id, term, u" r "_s, {});
        settle();
        EXPECT_EQ(api->calls.last().section(u' ', 2), term + u"| r |"_s) << "the values go as given";
        EXPECT_EQ(termsOf(model.entries.value()), terms);
        EXPECT_EQ(model.toast.value(), toast);
        EXPECT_FALSE(model.showAddSheet.value());
        EXPECT_EQ(model.editing.value(), std::nullopt);
    }
    clock.advance(1000ms);
    model.remove(entry(30, u"e"_s));
    settle();
    EXPECT_EQ(termsOf(model.entries.value()), (QStringList {u"a"_s, u"b"_s, u"c"_s, u"z"_s}));
    EXPECT_EQ(model.toast.value(), u"已删除"_s);
    EXPECT_EQ(model.errorText.value(), std::nullopt);
    // Each toast's wait clears whatever shows when it ends: here the first's.
    clock.advance(400ms);
    settle();
    EXPECT_EQ(model.toast.value(), std::nullopt);
}

TEST_F(DictionaryViewModelTest, AnOlderReloadEndingLastIsDropped)
{
    auto& answers = api->dictAnswers[u"dict.list"_s];
    answers.push_back({300ms, nullptr, QList<DictEntry> {entry(1, u"old"_s)}, DataSyncConnection::local(u"旧"_s)});
    answers.push_back({100ms, nullptr, QList<DictEntry> {entry(2, u"new"_s)}, std::nullopt});
    model.refresh();
    model.refresh();
    clock.advance(100ms);
    settle();
    EXPECT_FALSE(model.isLoading.value()) << "the first reload to end clears it";
    clock.advance(200ms);
    settle();
    EXPECT_EQ(termsOf(model.entries.value()), QStringList {u"new"_s});
    EXPECT_EQ(model.connection.value(), DataSyncConnection::remote());
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

} // namespace
} // namespace vellamor::test
