#include "SettingsWindow/ErrorText.h"

namespace vellamor {

const std::optional<QString>& noText()
{
    static const std::optional<QString> none;
    return none;
}

} // namespace vellamor
