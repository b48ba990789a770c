#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// How a toolkit counts text over the accessibility bus. Qt gives offsets in
// UTF-16 units and takes an inserted text's length in UTF-16 units; GTK and
// the others give offsets in code points and take lengths in UTF-8 bytes.
// Converting wrongly moves the caret off by one per emoji, or makes Qt
// insert nothing at all.
class ToolkitTextUnits {
public:
    enum class Offsets { utf16, codePoints };
    enum class InsertLength { utf16, utf8Bytes };

    // By the name the application reports ("Qt" for Qt, anything else is
    // taken for GTK's counting).
    static ToolkitTextUnits forToolkit(const QString& toolkitName);
    // The toolkit's rule, with the offsets taken from how the field counts
    // its own `text`: some applications do not count as their toolkit does
    // (LibreOffice reports "gtk" but counts UTF-16 units). `characterCount`
    // tells only when the text has a character outside the Basic
    // Multilingual Plane; otherwise, or when it is unknown, the rule stands.
    static ToolkitTextUnits forField(const QString& toolkitName, const std::optional<QString>& text,
                                     std::optional<int> characterCount);

    Offsets offsets() const { return offsets_; }
    InsertLength insertLength() const { return insertLength_; }

    // The UTF-16 index in `text` of the toolkit's `offset`, clamped to the
    // text; never inside a surrogate pair.
    qsizetype indexOf(const QString& text, int offset) const;
    // The toolkit's offset of the UTF-16 `index` in `text`.
    int offsetOf(const QString& text, qsizetype index) const;
    // The length to pass when inserting `text`.
    int lengthForInsert(const QString& text) const;

    friend bool operator==(const ToolkitTextUnits&, const ToolkitTextUnits&) = default;

private:
    ToolkitTextUnits(Offsets offsets, InsertLength insertLength) : offsets_(offsets), insertLength_(insertLength) {}

    Offsets offsets_;
    InsertLength insertLength_;
};

} // namespace vellamor
