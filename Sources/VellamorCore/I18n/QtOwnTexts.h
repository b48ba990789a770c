#pragma once

#include <QString>

class QCoreApplication;

namespace vellamor {

// The texts Qt supplies itself (the standard buttons of message boxes, the
// context menus of text fields and selectable labels) in Chinese, the
// language every text of the app is written in: Debian's catalogue of them
// (qt6-translations-l10n), installed on the application once at start.
class QtOwnTexts {
public:
    QtOwnTexts() = delete;

    // False when the catalogue cannot be read; Qt's texts then stay English.
    static bool install(QCoreApplication& application);
    static QString catalogue();
};

} // namespace vellamor
