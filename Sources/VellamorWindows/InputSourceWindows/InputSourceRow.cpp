#include "InputSourceWindows/InputSourceRow.h"

#include "AccountWindows/RelativeTimeText.h"
#include "Support/TextEscaping.h"
#include "Windows/PaintKit.h"
#include "Windows/Symbols.h"
#include "Windows/WindowTheme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStyleOptionButton>

#include <algorithm>

namespace vellamor {

namespace {

constexpr qreal paddingY = 6;
constexpr qreal iconColumn = 22;
constexpr qreal iconSide = 18;
constexpr qreal spacing = 12;
constexpr qreal lineSpacing = 2;
constexpr qreal pillSpacing = 6;
constexpr qreal pillPaddingX = 6;
constexpr qreal pillPaddingY = 1;
// Room kept between the texts and the button.
constexpr qreal buttonGap = 2 * spacing;

const QString pendingText = QStringLiteral("待确认");
const QString revokeText = QStringLiteral("撤销");

QFont nameFont() { return WindowTheme::font(13, QFont::Medium); }
QFont pillFont() { return WindowTheme::font(10, QFont::DemiBold); }
QFont detailFont() { return WindowTheme::captionFont(); }

qreal lineHeight(const QFont& font)
{
    return QFontMetricsF(font).height();
}

QSizeF pillSize()
{
    return {QFontMetricsF(pillFont()).horizontalAdvance(pendingText) + 2 * pillPaddingX,
            lineHeight(pillFont()) + 2 * pillPaddingY};
}

qreal nameLine()
{
    return std::max(lineHeight(nameFont()), pillSize().height());
}

qreal textHeight()
{
    return nameLine() + lineSpacing + lineHeight(detailFont());
}

} // namespace

InputSourceRow::InputSourceRow(SourceAt sourceAt, Revoking revoking, const QWidget& list, QObject* parent)
    : QStyledItemDelegate(parent)
    , sourceAt_(std::move(sourceAt))
    , revoking_(std::move(revoking))
    , list_(list)
{
}

QSize InputSourceRow::buttonSize() const
{
    QStyleOptionButton option;
    option.initFrom(&list_);
    option.features = QStyleOptionButton::Flat;
    option.text = revokeText;
    const QFontMetrics metrics = list_.fontMetrics();
    const QSize text(metrics.horizontalAdvance(revokeText), metrics.height());
    return list_.style()->sizeFromContents(QStyle::CT_PushButton, &option, text, &list_);
}

int InputSourceRow::height() const
{
    return qCeil(1 + paddingY + std::max<qreal>(textHeight(), buttonSize().height()) + paddingY);
}

InputSourceRow::Layout InputSourceRow::layout(const QRect& row, int index, Date now) const
{
    const InputSource& source = sourceAt_(index);
    const qreal content = std::max<qreal>(textHeight(), buttonSize().height());
    const qreal contentTop = row.top() + 1 + paddingY;
    const qreal textTop = contentTop + (content - textHeight()) / 2;
    const qreal line = nameLine();

    Layout result;
    const QSize button = buttonSize();
    const int buttonTop = qRound(contentTop + (content - button.height()) / 2);
    if (!revoking_(index))
        result.button = QRect(QPoint(row.left() + row.width() - button.width(), buttonTop), button);
    const qreal left = row.left() + iconColumn + spacing;
    const qreal right = row.left() + row.width() - button.width() - buttonGap;
    const qreal width = std::max<qreal>(0, right - left);

    result.symbol = symbolFor(source.kind);
    result.icon = QRectF(row.left() + (iconColumn - iconSide) / 2, textTop + (line - iconSide) / 2, iconSide, iconSide);
    const bool pending = source.status == QStringLiteral("pending");
    const QSizeF pill = pillSize();
    const QFont name = nameFont();
    const qreal nameWidth = pending ? width - pillSpacing - pill.width() : width;
    result.nameText = PaintKit::elidedLine(displayName(source), name, nameWidth);
    result.name = QRectF(left, textTop, QFontMetricsF(name).horizontalAdvance(result.nameText), line);
    if (pending)
        result.pill = QRectF(QPointF(result.name.right() + pillSpacing, textTop + (line - pill.height()) / 2), pill);
    result.detailText = PaintKit::elidedLine(secondaryLine(source, now), detailFont(), width);
    result.detail = QRectF(left, textTop + line + lineSpacing, width, lineHeight(detailFont()));
    return result;
}

void InputSourceRow::setHot(int row, bool pressed)
{
    hotRow_ = row;
    pressed_ = pressed;
}

void InputSourceRow::setFocusRow(int row)
{
    focusRow_ = row;
}

QStyleOptionButton InputSourceRow::buttonOption(const QRect& rect, int row) const
{
    QStyleOptionButton option;
    option.initFrom(&list_);
    option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    if (row == hotRow_)
        option.state |= pressed_ ? QStyle::State_Sunken : QStyle::State_MouseOver;
    if (row == focusRow_)
        option.state |= QStyle::State_HasFocus;
    option.features = QStyleOptionButton::Flat;
    option.text = revokeText;
    option.rect = rect;
    option.palette.setColor(QPalette::ButtonText, WindowTheme::red());
    return option;
}

QSize InputSourceRow::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return QSize(1, height());
}

void InputSourceRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect row = option.rect;
    const Layout parts = layout(row, index.row(), Date::now());
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (index.row() > 0)
        painter->fillRect(QRectF(row.left(), row.top(), row.width(), 1), WindowTheme::divider());
    Symbols::paint(*painter, parts.icon, parts.symbol, WindowTheme::secondary());

    painter->setFont(nameFont());
    painter->setPen(WindowTheme::primary());
    painter->drawText(parts.name, Qt::AlignLeft | Qt::AlignVCenter, parts.nameText);
    if (!parts.pill.isEmpty()) {
        painter->fillPath(PaintKit::continuousRoundedRect(parts.pill, parts.pill.height() / 2),
                          PaintKit::withOpacity(WindowTheme::orange(), 0.18));
        painter->setFont(pillFont());
        painter->setPen(WindowTheme::orange());
        painter->drawText(parts.pill, Qt::AlignCenter, pendingText);
    }
    painter->setFont(detailFont());
    painter->setPen(WindowTheme::secondary());
    painter->drawText(parts.detail, Qt::AlignLeft | Qt::AlignVCenter, parts.detailText);
    painter->restore();

    if (!parts.button.isEmpty()) {
        const QStyleOptionButton button = buttonOption(parts.button, index.row());
        list_.style()->drawControl(QStyle::CE_PushButton, &button, painter, &list_);
    }
}

QString InputSourceRow::displayName(const InputSource& source)
{
    for (const QString& given : {source.friendlyName, source.name}) {
        if (const QString shown = oneLineForDisplay(given); !shown.isEmpty())
            return shown;
    }
    if (source.kind == QStringLiteral("web"))
        return QStringLiteral("手机浏览器");
    if (source.kind == QStringLiteral("ime"))
        return QStringLiteral("输入法");
    return QStringLiteral("输入源");
}

QString InputSourceRow::secondaryLine(const InputSource& source, Date now)
{
    QString line = QStringLiteral("绑定于 ") + relativeTimeText(source.createdAt, now, RelativeTimeStyle::abbreviated);
    if (source.lastUsedAt)
        line += QStringLiteral(" · 最后使用 ")
            + relativeTimeText(*source.lastUsedAt, now, RelativeTimeStyle::abbreviated);
    return line;
}

QString InputSourceRow::symbolFor(const QString& kind)
{
    if (kind == QStringLiteral("web"))
        return QStringLiteral("safari");
    if (kind == QStringLiteral("ime"))
        return QStringLiteral("keyboard");
    return QStringLiteral("microphone");
}

} // namespace vellamor
