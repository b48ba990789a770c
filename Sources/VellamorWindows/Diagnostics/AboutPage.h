#pragma once

#include "Version/ApplicationVersion.h"
#include "Windows/AddressNotOpenedAlert.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace vellamor {

namespace platform {
class Workspace;
} // namespace platform

// The settings page "关于": the logo, name, tagline and version, the
// feedback channel and the licence, and links to the site, a feedback mail
// and the legal page, in the interface language of when it was built.
class AboutPage : public QWidget {
public:
    static constexpr const char* websiteUrl = "https://vellamor.com";
    static constexpr const char* feedbackUrl = "mailto:feedback@vellamor.com?subject=Vellamor%20Feedback";
    static constexpr const char* legalUrl = "https://vellamor.com/legal";

    AboutPage(const ApplicationVersion& version, std::shared_ptr<platform::Workspace> workspace,
              QWidget* parent = nullptr);

    QLabel* versionLabel() const { return versionLabel_; }
    const QList<QPushButton*>& links() const { return links_; }

    // Opens `url` with the user's default application; a text that is no
    // valid URL does nothing. `notOpened`, when set, hears of an address no
    // application took.
    static void openUrl(platform::Workspace& workspace, const QString& url,
                        std::function<void(const QUrl&)> notOpened = {});
    // Open while a link that did not open is being told.
    QMessageBox* notOpenedAlert() const { return notOpened_.alert(); }

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* makeHero(const ApplicationVersion& version);
    QWidget* makeFacts();
    QLayout* makeLinks();
    // Links take the theme's accent, also after a theme change.
    void showLinkColour();

    std::shared_ptr<platform::Workspace> workspace_;
    QLabel* versionLabel_ = nullptr;
    QList<QPushButton*> links_;
    AddressNotOpenedAlert notOpened_;
};

} // namespace vellamor
