#include "Onboarding/OnboardingSuccessPage.h"

#include "I18n/L10n.h"
#include "Onboarding/OnboardingStyle.h"
#include "Windows/PaintKit.h"
#include "Windows/SymbolView.h"
#include "Windows/Symbols.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace vellamor {

namespace {

// A green symbol on a faint green circle.
class TipIcon final : public QWidget {
public:
    TipIcon(QString symbol, QWidget* parent)
        : QWidget(parent)
        , symbol_(std::move(symbol))
    {
        setFixedSize(24, 24);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(PaintKit::withOpacity(WindowTheme::green(), 0.14));
        painter.drawEllipse(rect());
        Symbols::paint(painter, QRectF(5, 5, 14, 14), symbol_, WindowTheme::green());
    }

private:
    QString symbol_;
};

QWidget* tipRow(const QString& icon, const QString& title, const QString& detail, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(14);
    line->addWidget(new TipIcon(icon, row), 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(new ThemedLabel(title, WindowTheme::font(13, QFont::DemiBold), &WindowTheme::primary, row));
    texts->addWidget(OnboardingStyle::footnote(detail, row));
    line->addLayout(texts, 1);
    return row;
}

} // namespace

OnboardingSuccessPage::OnboardingSuccessPage(const QString& hotkeyName, QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);
    auto* icon = new SymbolView(QStringLiteral("checkmark.circle.fill"), 52, &WindowTheme::green, this);
    icon->setFixedSize(52, 52);
    column->addWidget(icon, 0, Qt::AlignLeft);
    column->addWidget(headingLabel(QStringLiteral("可以开始日常使用了"), 26, this));
    column->addWidget(
        OnboardingStyle::subtitle(QStringLiteral("Vellamor 已经在托盘待命。日常使用记住这几件事就够了："), this));
    auto* tips = new QVBoxLayout;
    tips->setContentsMargins(0, 6, 0, 0);
    tips->setSpacing(14);
    tips->addWidget(tipRow(QStringLiteral("keyboard"),
        L10n::Hotkey::inSentence(QStringLiteral("按住 %1 = 开始录音，松开 = 停止"), hotkeyName),
        QStringLiteral("想换成点一下开始、再点一下结束，去设置里改"), this));
    tips->addWidget(tipRow(QStringLiteral("slider.horizontal.3"), QStringLiteral("改语言、场景、润色风格"),
        QStringLiteral("托盘 Vellamor 图标 → 打开设置"), this));
    tips->addWidget(tipRow(QStringLiteral("doc.text.magnifyingglass"), QStringLiteral("出问题先看诊断页"),
        QStringLiteral("托盘菜单 → 诊断与日志，能一键复制信息发给我们"), this));
    tips->addWidget(tipRow(QStringLiteral("clock.arrow.circlepath"), QStringLiteral("录太久会自动停下"),
                           QStringLiteral("说满 5 分钟会提醒，6 分钟会自动保存并停止"), this));
    column->addLayout(tips);
    column->addStretch();
}

} // namespace vellamor
