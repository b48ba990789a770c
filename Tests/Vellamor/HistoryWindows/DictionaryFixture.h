#pragma once

#include "FakeAuthAPI.h"
#include "FakeDataSyncAPI.h"
#include "InMemorySecureItemStore.h"
#include "ManualSteadyClock.h"
#include "WaitUntil.h"

#include "Auth/AuthSession.h"
#include "Auth/KeychainStore.h"
#include "HistoryWindows/DictionaryList.h"
#include "HistoryWindows/DictionaryViewModel.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"

#include "WidgetRendering.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vellamor::test {

inline DictEntry entry(qint64 id, const QString& term, const QString& replacement = {}, const QString& note = {})
{
    return DictEntry {id, term, replacement, note, Date(), Date()};
}

inline QStringList termsOf(const QList<DictEntry>& entries)
{
    QStringList terms;
    for (const DictEntry& e : entries)
        terms.append(e.term);
    return terms;
}

// Sends `key` as the user types it into `target`, and lets the views follow.
inline void press(QWidget& target, int key)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
    settleWidgets();
}

// Clicks a row's edit or delete button as the pointer does.
inline void clickRow(DictionaryList& list, int row, DictRow::Button button)
{
    const DictRow::Layout parts = list.rowLayout(row);
    const QPoint at = (button == DictRow::Button::edit ? parts.edit : parts.remove).center().toPoint();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, list.viewport()->mapToGlobal(at), Qt::LeftButton,
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &event);
    }
    settleWidgets();
}

// A row's term, replacement and note as painted, the absent ones left out.
inline QStringList rowTexts(DictionaryList& list, int row)
{
    const DictRow::Layout parts = list.rowLayout(row);
    QStringList texts {parts.termText, parts.replacementText, parts.noteText};
    texts.removeAll(QString());
    return texts;
}

// Runs the event loop, the views following, until `condition` holds.
inline bool settledUntil(const std::function<bool()>& condition)
{
    return waitUntil([&] {
        settleWidgets();
        return condition();
    });
}

// A real authentication session over a scripted client, the data-sync fake
// and the toast's clock, as the dictionary window is handed them.
class DictionaryTest : public ::testing::Test {
protected:
    DictionaryTest() {api->sleep = clock.sleeper(); }

    void signIn()
    {
        const AuthTokens tokens {QStringLiteral("at"), QStringLiteral("rt"), Date::fromUnixSeconds(4'000'000'000)};
        const AuthMe me {7, QStringLiteral("u@x.io"), QStringLiteral("zh-CN"), Date::fromUnixSeconds(1'700'000'000),
            std::nullopt};
        authAPI->succeed(FakeAuthAPI::Op::login, AuthAPIProtocol::SignIn {tokens, me});
        runBlocking(auth->loginWithPassword(me.email, QStringLiteral("pw")));
    }
    // Lets posted deliveries and finished calls run.
    static void settle() {runEventLoopFor(std::chrono::milliseconds(10)); }
    int lists() const { return static_cast<int>(api->calls.count(QStringLiteral("dict.list"))); }

    QTemporaryDir folder;
    std::shared_ptr<FakeAuthAPI> authAPI = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<AuthSession> auth = std::make_shared<AuthSession>(authAPI,
        std::make_shared<KeychainStore>(std::make_shared<InMemorySecureItemStore>(),
            QStringLiteral("com.vellamor.app.auth"), QStringLiteral("session")),
        VellamorLog(QStringLiteral("t"), QStringLiteral("auth"), nullptr, nullptr), &Date::now,
        std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini"))));
    std::shared_ptr<FakeDataSyncAPI> api = std::make_shared<FakeDataSyncAPI>();
    ManualSteadyClock clock;
};

} // namespace vellamor::test
