#include "I18n/QtOwnTexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace vellamor {

bool QtOwnTexts::install(QCoreApplication& application)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(catalogue()))
        return false;
    translator->setParent(&application);
    return QCoreApplication::installTranslator(translator.release());
}

QString QtOwnTexts::catalogue()
{
    return QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).filePath(QStringLiteral("qtbase_zh_CN.qm"));
}

} // namespace vellamor
