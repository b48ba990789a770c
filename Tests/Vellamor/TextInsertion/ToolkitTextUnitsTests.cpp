#include "QtPrinters.h"

#include "TextInsertion/ToolkitTextUnits.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

const ToolkitTextUnits qt = ToolkitTextUnits::forToolkit(QStringLiteral("Qt"));
const ToolkitTextUnits gtk = ToolkitTextUnits::forToolkit(QStringLiteral("GAIL"));

TEST(ToolkitTextUnitsTest, OnlyQtCountsInUtf16)
{
    EXPECT_EQ(qt.offsets(), ToolkitTextUnits::Offsets::utf16);
    EXPECT_EQ(qt.insertLength(), ToolkitTextUnits::InsertLength::utf16);
    for (const char* name : {"GAIL", "GTK", "gtk", "Gecko", ""}) {
        const auto units = ToolkitTextUnits::forToolkit(QString::fromLatin1(name));
        EXPECT_EQ(units.offsets(), ToolkitTextUnits::Offsets::codePoints) << name;
        EXPECT_EQ(units.insertLength(), ToolkitTextUnits::InsertLength::utf8Bytes) << name;
    }
    EXPECT_EQ(ToolkitTextUnits::forToolkit(QStringLiteral("QT")), qt);
}

TEST(ToolkitTextUnitsTest, ConvertsOffsetsAroundSurrogatePairs)
{
    const QString text = QStringLiteral("a🎉b世");
    struct Case {
        const ToolkitTextUnits* units;
        int offset;
        qsizetype index;
    };
    const Case toIndex[] = {
        {&qt, 0, 0}, {&qt, 1, 1}, {&qt, 2, 1}, {&qt, 3, 3}, {&qt, 5, 5}, {&qt, 9, 5}, {&qt, -1, 0},
        {&gtk, 0, 0}, {&gtk, 1, 1}, {&gtk, 2, 3}, {&gtk, 3, 4}, {&gtk, 4, 5}, {&gtk, 9, 5},
    };
    for (const Case& c : toIndex)
        EXPECT_EQ(c.units->indexOf(text, c.offset), c.index) << (c.units == &qt ? "Qt " : "GTK ") << c.offset;

    const Case toOffset[] = {
        {&qt, 3, 3}, {&qt, 5, 5}, {&gtk, 1, 1}, {&gtk, 2, 3}, {&gtk, 3, 4}, {&gtk, 4, 5}, {&gtk, 4, 99},
    };
    for (const Case& c : toOffset)
        EXPECT_EQ(c.units->offsetOf(text, c.index), c.offset) << (c.units == &qt ? "Qt " : "GTK ") << c.index;
}

TEST(ToolkitTextUnitsTest, InsertLengthIsUtf16ForQtAndUtf8BytesOtherwise)
{
    EXPECT_EQ(qt.lengthForInsert(QStringLiteral("hello 世界🎉")), 10);
    EXPECT_EQ(gtk.lengthForInsert(QStringLiteral("hello 世界🎉")), 16);
    EXPECT_EQ(qt.lengthForInsert(QString()), 0);
}

} // namespace
} // namespace vellamor::test
