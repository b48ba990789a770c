#include "Diagnostics/AboutPage.h"

#include "Diagnostics/BrandLogo.h"
#include "Diagnostics/DiagnosticsStyle.h"
#include "I18n/L10n.h"
#include "Platform/Workspace/Workspace.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

namespace vellamor {

AboutPage::AboutPage(ApplicationVersion version, std::shared_ptr<platform::Workspace> workspace, QWidget* parent)
    : QWidget(parent)
    , version_(std::move(version))
    , workspace_(std::move(workspace))
    , title_(DiagnosticsStyle::label(QString(), 20, false, this, QFont::Bold))
    , tagline_(DiagnosticsStyle::label(QString(), 12, true, this))
    , versionLabel_(DiagnosticsStyle::label(QString(), 11, true, this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(20);
    column->addWidget(title_);

    auto* hero = new QHBoxLayout;
    hero->setSpacing(20);
    hero->setContentsMargins(0, 8, 0, 8);
    hero->addWidget(new BrandLogoView(72, this), 0, Qt::AlignVCenter);
    auto* heroText = new QVBoxLayout;
    heroText->setSpacing(4);
    heroText->addWidget(DiagnosticsStyle::label(QStringLiteral("Vellamor"), 24, false, this, QFont::DemiBold));
    heroText->addWidget(tagline_);
    versionLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    versionLabel_->setContentsMargins(0, 4, 0, 0);
    heroText->addWidget(versionLabel_);
    hero->addLayout(heroText);
    hero->addStretch();
    column->addLayout(hero);

    QVBoxLayout* factsBody = nullptr;
    column->addWidget(DiagnosticsStyle::card(QString(), factsBody, this));
    for (int fact = 0; fact < 2; ++fact) {
        if (fact > 0)
            factsBody->addWidget(DiagnosticsStyle::rowDivider(this));
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 6, 0, 6);
        QLabel* key = DiagnosticsStyle::label(QString(), 13, false, this);
        QLabel* value = DiagnosticsStyle::label(QString(), 11, true, this);
        value->setWordWrap(true);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row->addWidget(key);
        row->addSpacing(16);
        row->addWidget(value, 1);
        factsBody->addLayout(row);
        facts_.append(std::pair(key, value));
    }

    auto* linkRow = new QHBoxLayout;
    linkRow->setSpacing(20);
    linkRow->setContentsMargins(0, 4, 0, 0);
    for (const char* target : {websiteUrl, feedbackUrl, legalUrl}) {
        auto* link = new QPushButton(this);
        link->setFont(DiagnosticsStyle::font(12));
        link->setFlat(true);
        link->setCursor(Qt::PointingHandCursor);
        connect(link, &QPushButton::clicked, this,
                [this, target] { openUrl(*workspace_, QString::fromLatin1(target)); });
        linkRow->addWidget(link);
        links_.append(link);
    }
    linkRow->addStretch();
    column->addLayout(linkRow);
    column->addStretch();
    showTexts();
    showLinkColour();
}

void AboutPage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        showLinkColour();
}

void AboutPage::showLinkColour()
{
    for (QPushButton* link : std::as_const(links_))
        link->setStyleSheet(DiagnosticsStyle::linkStyleSheet(palette()));
}

void AboutPage::openUrl(platform::Workspace& workspace, const QString& url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (parsed.isValid())
        workspace.openUrl(parsed);
}

void AboutPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    showTexts();
}

void AboutPage::showTexts()
{
    title_->setText(L10n::About::title());
    tagline_->setText(L10n::About::tagline());
    const QString versionLine = L10n::About::versionFormat(version_.shortVersion, version_.build);
    versionLabel_->setText(versionLine);
    versionLabel_->setAccessibleName(versionLine);
    const std::pair<QString, QString> facts[] = {
        {L10n::About::feedbackChannel(), L10n::About::feedbackChannelValue()},
        {L10n::About::license(), L10n::About::licenseValue()},
    };
    for (int fact = 0; fact < 2; ++fact) {
        facts_[fact].first->setText(facts[fact].first);
        facts_[fact].second->setText(facts[fact].second);
    }
    const QString linkTitles[] = {L10n::About::visitWebsite(), L10n::About::sendFeedback(),
                                  L10n::About::licensesCredits()};
    for (int link = 0; link < 3; ++link)
        links_[link]->setText(linkTitles[link]);
}

} // namespace vellamor
