#include "QtPrinters.h"

#include "Settings/Preferences.h"
#include "Support/Json/JsonError.h"

#include <QJsonDocument>

#include <gmock/gmock.h>

using namespace vellamor;

namespace {

std::optional<Preferences> decode(const char* json)
{
    try {
        return Preferences::fromJsonData(QByteArray(json));
    } catch (const JsonError&) {
        return std::nullopt;
    }
}

Preferences with(const std::function<void(Preferences&)>& change)
{
    Preferences p = Preferences::defaultPreferences();
    change(p);
    return p;
}

} // namespace

// Absent or null keys take the default and unknown keys are ignored, but one
// value of the wrong type fails the whole decoding.
TEST(Preferences, DecodingTable)
{
    struct Case {
        const char* json;
        std::optional<Preferences> expected; // none: decoding fails
    };
    const Case cases[] = {
        { "{}", Preferences() },
        { R"({"language":"en"})", with([](Preferences& p) { p.language = QStringLiteral("en"); }) },
        { R"({"language":null})", Preferences() },
        { R"({"customHotkey":null})", Preferences() },
        { R"({"customHotkey":"ctrl+alt+space","selectedMicrophoneUID":"mic-1","selectedLLMProviderName":"qwen"})",
            with([](Preferences& p) {
                p.customHotkey = QStringLiteral("ctrl+alt+space");
                p.selectedMicrophoneUID = QStringLiteral("mic-1");
                p.selectedLLMProviderName = QStringLiteral("qwen");
            }) },
        { R"({"unknown":[1,2],"scene":"email","enable_llm_polish":false})",
            with([](Preferences& p) { p.scene = QStringLiteral("email"); }) },
        { R"({"enableLLMPolish":false,"sceneAutoDetect":false,"insertRawOnly":true,"hotkeyMode":"toggle",
             "style":"formal","backendURL":"http://localhost:8787"})",
            with([](Preferences& p) {
                p.enableLLMPolish = false;
                p.sceneAutoDetect = false;
                p.insertRawOnly = true;
                p.hotkeyMode = QStringLiteral("toggle");
                p.style = QStringLiteral("formal");
                p.backendURL = QStringLiteral("http://localhost:8787");
            }) },
        { R"({"enableLLMPolish":"yes","language":"en"})", std::nullopt },
        { R"({"customHotkey":5})", std::nullopt },
        { R"({"language":{"code":"en"}})", std::nullopt },
        { "[]", std::nullopt },
        { "{", std::nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(decode(c.json), c.expected);
    }
}

TEST(Preferences, EncodingOmitsAbsentOptionalsAndRoundTrips)
{
    const QJsonObject plain = Preferences().toJson();
    for (const char* key : { "customHotkey", "selectedMicrophoneUID", "selectedLLMProviderName" })
        EXPECT_FALSE(plain.contains(QString::fromUtf8(key))) << key;

    const Preferences full = with([](Preferences& p) {
        p.backendURL = QStringLiteral("https://x.example.com");
        p.language = QStringLiteral("zh");
        p.scene = QStringLiteral("chat");
        p.style = QStringLiteral("concise");
        p.enableLLMPolish = false;
        p.hotkeyMode = QStringLiteral("toggle");
        p.sceneAutoDetect = false;
        p.insertRawOnly = true;
        p.customHotkey = QStringLiteral("⌃⌥\"Space\"");
        p.selectedMicrophoneUID = QString(); // a value, not an absence
        p.selectedLLMProviderName = QStringLiteral("模型");
    });
    EXPECT_EQ(Preferences::fromJsonData(full.toJsonData()), full);
}
