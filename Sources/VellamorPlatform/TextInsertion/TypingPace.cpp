#include "TextInsertion/TypingPace.h"

#include "TextInsertion/WindowClassNames.h"

namespace vellamor {

namespace {

constexpr std::array slowReaders{"libreoffice", "soffice", "libreoffice-writer", "libreoffice-calc",
                                 "libreoffice-impress", "libreoffice-draw", "libreoffice-math",
                                 "libreoffice-base", "libreoffice-startcenter"};

} // namespace

bool TypingPace::needsSlowPace(const QStringList& names)
{
    return isNamedAnyOf(names, slowReaders);
}

} // namespace vellamor
