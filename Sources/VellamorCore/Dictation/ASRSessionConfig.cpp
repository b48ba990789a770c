#include "Dictation/ASRSessionConfig.h"

#include <utility>

namespace vellamor {

ASRSessionConfig::ASRSessionConfig(QUrl endpoint, QString lang, QString scene, QString style, bool polish,
                                   std::optional<QString> llmProvider, std::optional<QString> bearerToken)
    : endpoint(std::move(endpoint))
    , lang(std::move(lang))
    , scene(std::move(scene))
    , style(std::move(style))
    , polish(polish)
    , llmProvider(std::move(llmProvider))
    , bearerToken(std::move(bearerToken))
{
}

} // namespace vellamor
