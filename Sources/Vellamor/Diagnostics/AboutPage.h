#pragma once

#include "App/ApplicationVersion.h"

#include <QList>
#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;

namespace vellamor {

namespace platform {
class Workspace;
} // namespace platform

// The settings page "关于": the logo, name, tagline and version, the
// feedback channel and the licence, and links to the site, a feedback mail
// and the legal page. Texts follow the interface language each time the
// page comes on screen.
class AboutPage : public QWidget {
public:
    static constexpr const char* websiteUrl = "https://vellamor.com";
    static constexpr const char* feedbackUrl = "mailto:feedback@vellamor.com?subject=Vellamor%20Feedback";
    static constexpr const char* legalUrl = "https://vellamor.com/legal";

    AboutPage(ApplicationVersion version, std::shared_ptr<platform::Workspace> workspace, QWidget* parent = nullptr);

    QLabel* versionLabel() const { return versionLabel_; }
    const QList<QPushButton*>& links() const { return links_; }

    // Opens `url` with the user's default application; a text that is no
    // valid URL does nothing, and a failure to open is not reported.
    static void openUrl(platform::Workspace& workspace, const QString& url);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showTexts();
    // Links take the palette's link colour, also after a theme change.
    void showLinkColour();

    ApplicationVersion version_;
    std::shared_ptr<platform::Workspace> workspace_;
    QLabel* title_;
    QLabel* tagline_;
    QLabel* versionLabel_;
    QList<std::pair<QLabel*, QLabel*>> facts_;
    QList<QPushButton*> links_;
};

} // namespace vellamor
