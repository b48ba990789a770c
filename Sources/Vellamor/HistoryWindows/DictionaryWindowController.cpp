#include "HistoryWindows/DictionaryWindowController.h"

namespace vellamor {

DictionaryWindowController::DictionaryWindowController()
    : window_(QStringLiteral("Vellamor 词典"), QStringLiteral("词典窗口尚未完成。"))
{
}

void DictionaryWindowController::show()
{
    window_.present();
}

} // namespace vellamor
