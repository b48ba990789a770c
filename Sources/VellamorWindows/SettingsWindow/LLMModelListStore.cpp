#include "SettingsWindow/LLMModelListStore.h"

#include "Models/VellamorServiceError.h"
#include "SettingsWindow/ErrorText.h"

namespace vellamor {

namespace {

constexpr qint64 unauthorizedCode = 40100;

} // namespace

LLMModelListStore::LLMModelListStore(std::shared_ptr<ModelAPIProtocol> api)
    : api_(std::move(api))
{
}

QCoro::Task<bool> LLMModelListStore::reload(std::shared_ptr<LLMModelListStore> store)
{
    store->loading = true;
    std::optional<QString> failure;
    QList<LLMModelOption> fetched;
    try {
        if (!store->api_)
            throw std::runtime_error("no model client");
        fetched = co_await store->api_->listLLMModels();
    } catch (const VellamorServiceError& refusal) {
        failure = refusal.code() == unauthorizedCode ? signInMessage() : QStringLiteral("模型列表加载失败");
    } catch (...) {
        failure = QStringLiteral("模型列表加载失败");
    }
    store->errorText = std::move(failure);
    store->models = std::move(fetched);
    store->loading = false;
    co_return !failure;
}

void LLMModelListStore::reset()
{
    loading = false;
    models = QList<LLMModelOption>();
    errorText = noText();
}

QString LLMModelListStore::signInMessage()
{
    return QStringLiteral("登录后可选择后端已配置模型");
}

} // namespace vellamor
