#include "AccountWindows/AuthSheet.h"

#include "Windows/FixedDialog.h"
#include "Windows/ThemedLabel.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vellamor {

namespace {

constexpr int sheetWidth = 380;
constexpr int sheetHeight = 360;

// A caption above its control.
QWidget* labelledField(const QString& caption, QWidget* control, QWidget* parent)
{
    auto* field = new QWidget(parent);
    auto* column = new QVBoxLayout(field);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(captionLabel(caption, parent));
    column->addWidget(control);
    return field;
}

QLineEdit* lineEdit(const QString& objectName, const QString& placeholder, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setPlaceholderText(placeholder);
    return edit;
}

QPushButton* linkButton(const QString& objectName, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(objectName);
    button->setFlat(true);
    button->setAutoDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(WindowTheme::captionFont());
    button->setStyleSheet(WindowTheme::linkStyleSheet());
    return button;
}

QPushButton* tabButton(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    button->setFont(WindowTheme::calloutFont());
    return button;
}

// Writes `text` into `edit` unless it already holds it, so typing keeps its cursor.
void showText(QLineEdit& edit, const QString& text)
{
    if (edit.text() != text)
        edit.setText(text);
}

} // namespace

AuthSheet::AuthSheet(std::shared_ptr<AuthAPIProtocol> codes, std::shared_ptr<AuthSession> session,
                     SleepFunction sleep, QWidget* parent)
    : QDialog(parent)
    , viewModel_(new AuthSheetViewModel(std::move(codes), std::move(session), std::move(sleep), this))
{
    setWindowTitle(QStringLiteral("登录 Vellamor"));
    setFixedDialogFrame(*this);
    setFixedSize(sheetWidth, sheetHeight);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    column->addLayout(buildHeader());
    column->addLayout(buildTabs());
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider);
    column->addLayout(buildForm());
    error_ = new ThemedLabel(QString(), WindowTheme::calloutFont(), &WindowTheme::red, this);
    error_->setObjectName(QStringLiteral("error"));
    error_->setWordWrap(true);
    column->addWidget(error_);
    column->addStretch();
    column->addLayout(buildFooter());

    connectToModel();
    email_->setFocus();
}

QLayout* AuthSheet::buildHeader()
{
    auto* header = new QVBoxLayout();
    header->setSpacing(4);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("title"));
    title_->setFont(WindowTheme::titleFont());
    subtitle_ = new ThemedLabel(QString(), WindowTheme::calloutFont(), &WindowTheme::secondary, this);
    subtitle_->setObjectName(QStringLiteral("subtitle"));
    subtitle_->setWordWrap(true);
    header->addWidget(title_);
    header->addWidget(subtitle_);
    return header;
}

QLayout* AuthSheet::buildTabs()
{
    auto* tabs = new QHBoxLayout();
    tabs->setSpacing(8);
    emailCodeTab_ = tabButton(QStringLiteral("邮箱登录 / 注册"), QStringLiteral("emailCodeTab"), this);
    passwordTab_ = tabButton(QStringLiteral("密码登录"), QStringLiteral("passwordTab"), this);
    tabs->addWidget(emailCodeTab_);
    tabs->addWidget(passwordTab_);
    tabs->addStretch();
    return tabs;
}

QLayout* AuthSheet::buildForm()
{
    auto* form = new QVBoxLayout();
    form->setSpacing(12);
    email_ = lineEdit(QStringLiteral("email"), QString(), this);
    emailRow_ = labelledField(QStringLiteral("邮箱"), email_, this);
    emailCaption_ = captionLabel(QStringLiteral("首次使用的邮箱将自动注册新账号"), this);
    code_ = lineEdit(QStringLiteral("code"), QStringLiteral("6 位数字"), this);
    codeRow_ = labelledField(QStringLiteral("验证码"), code_, this);
    resendRow_ = new QWidget(this);
    auto* resendLine = new QHBoxLayout(resendRow_);
    resendLine->setContentsMargins(0, 0, 0, 0);
    resendLine->setSpacing(8);
    resend_ = linkButton(QStringLiteral("resend"), this);
    changeEmail_ = linkButton(QStringLiteral("changeEmail"), this);
    changeEmail_->setText(QStringLiteral("修改邮箱"));
    resendLine->addWidget(resend_);
    resendLine->addStretch();
    resendLine->addWidget(changeEmail_);
    password_ = lineEdit(QStringLiteral("password"), QStringLiteral("8-128 位"), this);
    password_->setEchoMode(QLineEdit::Password);
    passwordRow_ = labelledField(QStringLiteral("密码"), password_, this);
    for (QWidget* row : {emailRow_, static_cast<QWidget*>(emailCaption_), codeRow_, resendRow_, passwordRow_})
        form->addWidget(row);
    return form;
}

QLayout* AuthSheet::buildFooter()
{
    auto* footer = new QHBoxLayout();
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setAutoDefault(false);
    primary_ = new QPushButton(this);
    primary_->setObjectName(QStringLiteral("primary"));
    // Return anywhere in the sheet presses it (when enabled).
    primary_->setDefault(true);
    footer->addWidget(cancel_);
    footer->addStretch();
    footer->addWidget(primary_);
    return footer;
}

void AuthSheet::connectToModel()
{
    AuthSheetViewModel* model = viewModel_;
    connect(emailCodeTab_, &QPushButton::clicked, this, [model] { model->switchTab(AuthSheetState::Tab::emailCode); });
    connect(passwordTab_, &QPushButton::clicked, this, [model] { model->switchTab(AuthSheetState::Tab::password); });
    connect(email_, &QLineEdit::textEdited, this, [model](const QString& text) { model->setEmail(text); });
    connect(code_, &QLineEdit::textEdited, this, [model](const QString& text) { model->setCode(text); });
    connect(password_, &QLineEdit::textEdited, this, [model](const QString& text) { model->setPassword(text); });
    connect(resend_, &QPushButton::clicked, this, [model] { model->resend(); });
    connect(changeEmail_, &QPushButton::clicked, this, [model] { model->changeEmail(); });
    connect(cancel_, &QPushButton::clicked, this, &AuthSheet::reject);
    connect(primary_, &QPushButton::clicked, this, [model] { model->primaryAction(); });
    viewModel_->onDismiss = [this] { accept(); };
    subscription_ = viewModel_->state.subscribe([this](const AuthSheetState& state) { render(state); });
}

AuthSheet::~AuthSheet()
{
    subscription_.cancel();
}

void AuthSheet::reject()
{
    // Escape and the window's close button follow "取消", which a running request disables.
    if (viewModel_->state.value().isBusy)
        return;
    QDialog::reject();
}

void AuthSheet::hideEvent(QHideEvent* event)
{
    viewModel_->disappear();
    QDialog::hideEvent(event);
}

void AuthSheet::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::PaletteChange || !primary_)
        return;
    // The links and tabs are drawn by style sheets made of the palette's colours.
    for (QPushButton* link : {resend_, changeEmail_})
        link->setStyleSheet(WindowTheme::linkStyleSheet());
    styledTab_.reset();
    render(viewModel_->state.value());
}

void AuthSheet::render(const AuthSheetState& state)
{
    using Tab = AuthSheetState::Tab;
    using Step = AuthSheetState::Step;
    const bool onPassword = state.tab == Tab::password;
    const bool enteringCode = !onPassword && state.step == Step::enterCode;

    title_->setText(state.titleText());
    subtitle_->setText(state.subtitleText());
    // Restyling is not free, and most changes are keystrokes.
    if (styledTab_ != state.tab) {
        styledTab_ = state.tab;
        emailCodeTab_->setStyleSheet(WindowTheme::tabStyleSheet(!onPassword));
        passwordTab_->setStyleSheet(WindowTheme::tabStyleSheet(onPassword));
    }

    showText(*email_, state.email);
    email_->setEnabled(!enteringCode);
    email_->setPlaceholderText(enteringCode ? QString() : QStringLiteral("name@example.com"));
    emailCaption_->setVisible(!onPassword && !enteringCode);
    const bool codeWasShown = codeRow_->isVisibleTo(this);
    codeRow_->setVisible(enteringCode);
    if (enteringCode && !codeWasShown)
        code_->setFocus();
    resendRow_->setVisible(enteringCode);
    showText(*code_, state.code);
    resend_->setText(state.resendTitle());
    resend_->setEnabled(state.resendEnabled());
    changeEmail_->setEnabled(!state.isBusy);
    passwordRow_->setVisible(onPassword);
    showText(*password_, state.password);

    error_->setVisible(state.errorText.has_value());
    error_->setText(state.errorText.value_or(QString()));
    cancel_->setEnabled(!state.isBusy);
    primary_->setText(state.primaryButtonTitle());
    primary_->setEnabled(!state.isBusy && state.primaryEnabled());
}

} // namespace vellamor
