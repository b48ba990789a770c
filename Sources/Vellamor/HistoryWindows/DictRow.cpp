#include "HistoryWindows/DictRow.h"

#include "HistoryWindows/DictionaryViewModel.h"
#include "I18n/L10n.h"
#include "Windows/PaintKit.h"
#include "Windows/SymbolButton.h"
#include "Windows/SymbolView.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

namespace vellamor {

namespace {

// The replacement, led by an arrow, on a faint rounded ground.
class ReplacementTag final : public QWidget {
public:
    ReplacementTag(const QString& replacement, QWidget* parent)
        : QWidget(parent)
    {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(6, 2, 6, 2);
        layout->setSpacing(4);
        layout->addWidget(new SymbolView(QStringLiteral("arrow.right"), 10, &WindowTheme::secondary, this), 0,
                          Qt::AlignVCenter);
        layout->addWidget(new ThemedLabel(replacement, WindowTheme::monospacedFont(12), &WindowTheme::primary, this));
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(PaintKit::continuousRoundedRect(rect(), 4),
                         PaintKit::withOpacity(WindowTheme::secondary(), 0.1));
    }
};

QPushButton* iconButton(const QString& symbol, const QString& help, QWidget* parent)
{
    auto* button = new SymbolButton(symbol, QString(), 13, &WindowTheme::secondary, parent);
    button->setFlat(true);
    button->setToolTip(help);
    button->setAccessibleName(help);
    button->setCursor(Qt::PointingHandCursor);
    button->setFixedSize(22, 22);
    return button;
}

} // namespace

DictRow::DictRow(const DictEntry& entry, DictionaryViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , entry_(entry)
    , edit_(iconButton(QStringLiteral("pencil"), L10n::Dictionary::editHelp(), this))
    , delete_(iconButton(QStringLiteral("trash"), L10n::Dictionary::deleteHelp(), this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 8);
    layout->setSpacing(12);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(new ThemedLabel(entry_.term, WindowTheme::font(13, QFont::Medium), &WindowTheme::primary, this));
    if (!entry_.note.isEmpty())
        texts->addWidget(new ThemedLabel(entry_.note, WindowTheme::font(11), &WindowTheme::secondary, this));
    layout->addLayout(texts, 1);
    if (!entry_.replacement.isEmpty())
        layout->addWidget(new ReplacementTag(entry_.replacement, this), 0, Qt::AlignTop);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(edit_);
    buttons->addWidget(delete_);
    layout->addLayout(buttons);
    layout->setAlignment(buttons, Qt::AlignTop);

    QPointer<DictionaryViewModel> model(&viewModel);
    connect(edit_, &QPushButton::clicked, this, [model, entry] {
        if (model)
            model->editing = entry;
    });
    connect(delete_, &QPushButton::clicked, this, [model, entry] {
        if (model)
            model->remove(entry);
    });
}

} // namespace vellamor
