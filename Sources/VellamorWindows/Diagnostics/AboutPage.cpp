#include "Diagnostics/AboutPage.h"

#include "Diagnostics/BrandLogo.h"
#include "Diagnostics/DiagnosticsTexts.h"
#include "I18n/L10n.h"
#include "Platform/Workspace/Workspace.h"
#include "Windows/CardGroup.h"
#include "Windows/LabelText.h"
#include "Windows/RowDivider.h"
#include "Windows/SectionHeader.h"
#include "Windows/SettingsRow.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QEvent>
#include <QPointer>
#include <QHBoxLayout>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace vellamor {

namespace {

constexpr int longestFactLine = 300;

} // namespace

AboutPage::AboutPage(const ApplicationVersion& version, std::shared_ptr<platform::Workspace> workspace,
                     QWidget* parent)
    : QWidget(parent)
    , workspace_(std::move(workspace))
    , notOpened_(QStringLiteral("无法打开链接"))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);
    column->addWidget(new SectionHeader(L10n::About::title(), std::nullopt, this));
    column->addWidget(makeHero(version));
    column->addWidget(makeFacts());
    column->addLayout(makeLinks());
    column->addStretch();
    showLinkColour();
}

QWidget* AboutPage::makeHero(const ApplicationVersion& version)
{
    auto* hero = new QWidget(this);
    auto* line = new QHBoxLayout(hero);
    line->setSpacing(20);
    line->setContentsMargins(0, 8, 0, 8);
    line->addWidget(new BrandLogoView(72, hero), 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(new ThemedLabel(DiagnosticsTexts::productName, WindowTheme::font(24, QFont::DemiBold),
                                     &WindowTheme::primary, hero));
    auto* tagline = new ThemedLabel(L10n::About::tagline(), WindowTheme::calloutFont(), &WindowTheme::secondary, hero);
    // Wraps rather than widen the page beyond a narrow window.
    tagline->setWordWrap(true);
    texts->addWidget(tagline);
    const QString versionLine = L10n::About::versionFormat(version.shortVersion, version.build);
    versionLabel_ = new ThemedLabel(versionLine, WindowTheme::font(11), &WindowTheme::secondary, hero);
    versionLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    versionLabel_->setContentsMargins(0, 4, 0, 0);
    versionLabel_->setAccessibleName(versionLine);
    texts->addWidget(versionLabel_);
    line->addLayout(texts, 1);
    return hero;
}

QWidget* AboutPage::makeFacts()
{
    auto* facts = new CardGroup(std::nullopt, this);
    const std::pair<QString, QString> rows[] = {
        {L10n::About::feedbackChannel(), L10n::About::feedbackChannelValue()},
        {L10n::About::license(), L10n::About::licenseValue()},
    };
    for (const auto& [key, value] : rows) {
        if (key != rows[0].first)
            facts->addWidget(new RowDivider);
        auto* shown = new ThemedLabel(value, WindowTheme::font(11), &WindowTheme::secondary);
        // A wrapping label asks for a narrow block; it wraps only past a
        // width a value of a few words fits in.
        shown->setWordWrap(true);
        shown->setMinimumWidth(std::min(shown->fontMetrics().horizontalAdvance(value) + 1, longestFactLine));
        shown->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        facts->addWidget(new SettingsRow(key, std::nullopt, shown));
    }
    return facts;
}

QLayout* AboutPage::makeLinks()
{
    auto* line = new QHBoxLayout;
    line->setSpacing(20);
    line->setContentsMargins(0, 4, 0, 0);
    const std::pair<QString, const char*> links[] = {
        {L10n::About::visitWebsite(), websiteUrl},
        {L10n::About::sendFeedback(), feedbackUrl},
        {L10n::About::licensesCredits(), legalUrl},
    };
    for (const auto& [title, target] : links) {
        auto* link = new QPushButton(literalLabel(title), this);
        link->setFont(WindowTheme::calloutFont());
        link->setFlat(true);
        link->setCursor(Qt::PointingHandCursor);
        connect(link, &QPushButton::clicked, this, [this, target] {
            openUrl(*workspace_, QString::fromLatin1(target), [weak = QPointer<AboutPage>(this)](const QUrl& address) {
                if (weak)
                    weak->notOpened_.show(address);
            });
        });
        line->addWidget(link);
        links_.append(link);
    }
    line->addStretch();
    return line;
}

void AboutPage::openUrl(platform::Workspace& workspace, const QString& url,
                        std::function<void(const QUrl&)> notOpened)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid())
        return;
    if (!notOpened) {
        workspace.openUrl(parsed, {});
        return;
    }
    workspace.openUrl(parsed, [parsed, notOpened = std::move(notOpened)](bool opened) {
        if (!opened)
            notOpened(parsed);
    });
}

void AboutPage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        showLinkColour();
}

void AboutPage::showLinkColour()
{
    const QString look = WindowTheme::linkStyleSheet();
    for (QPushButton* link : std::as_const(links_))
        link->setStyleSheet(look);
}

} // namespace vellamor
