#include "InputSourceWindows/PairingSheet.h"

#include "Support/TextEscaping.h"
#include "Windows/FixedDialog.h"
#include "Windows/PaintKit.h"
#include "Windows/ProminentButton.h"
#include "Windows/RowDivider.h"
#include "Windows/SymbolView.h"
#include "Windows/ThemedLabel.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vellamor {

// The code's image fitted into 220 × 220 on white with a 10 pt margin, its
// modules kept sharp; a grey placeholder when there is no image.
class QRCodeView : public QWidget {
public:
    explicit QRCodeView(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(240, 240);
        setObjectName(QStringLiteral("qrCode"));
    }

    void setImage(QImage image)
    {
        image_ = std::move(image);
        update();
    }
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPainterPath outline = PaintKit::continuousRoundedRect(QRectF(rect()), 8);
        if (image_.isNull()) {
            painter.fillPath(outline, PaintKit::withOpacity(WindowTheme::secondary(), 0.12));
            return;
        }
        painter.fillRect(rect(), Qt::white);
        const QSize fitted = image_.size().scaled(220, 220, Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(target, image_);
        const QRectF inside = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
        painter.setPen(QPen(PaintKit::withOpacity(WindowTheme::secondary(), 0.2), 0.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(PaintKit::continuousRoundedRect(inside, 8));
    }

private:
    QImage image_;
};

namespace {

// A state of the sheet: a column from the top, as wide as the sheet, so
// that wrapped text has its width; the items centre themselves.
QVBoxLayout* stateColumn(QWidget* page, int spacing)
{
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    return column;
}

} // namespace

PairingSheet::PairingSheet(std::shared_ptr<InputSourceAPIProtocol> api, SleepFunction sleep,
                           PairingSheetViewModel::Clock now, QWidget* parent)
    : QDialog(parent)
    , viewModel_(new PairingSheetViewModel(std::move(api), std::move(sleep), std::move(now), this))
{
    setWindowTitle(QStringLiteral("添加输入源"));
    setFixedDialogFrame(*this);
    setFixedSize(380, 440);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(16);

    auto* header = new QVBoxLayout();
    header->setSpacing(4);
    header->addWidget(headingLabel(QStringLiteral("添加输入源"), 17, nullptr));
    header->addWidget(new ThemedLabel(
        QStringLiteral("用手机浏览器扫描下方二维码完成绑定"), WindowTheme::calloutFont(), &WindowTheme::secondary));
    layout->addLayout(header);
    layout->addWidget(new RowDivider(this));

    content_ = new QStackedWidget(this);
    buildLoadingPage();
    buildReadyPage();
    buildFailedPage();
    content_->addWidget(loading_);
    content_->addWidget(ready_);
    content_->addWidget(failed_);
    layout->addWidget(content_, 1);

    auto* footer = new QHBoxLayout();
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setAutoDefault(false);
    done_ = new ProminentButton(QStringLiteral("我已扫码完成"), this);
    done_->setDefault(true);
    footer->addWidget(cancel);
    footer->addStretch();
    footer->addWidget(done_);
    layout->addLayout(footer);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(done_, &QPushButton::clicked, this, &QDialog::accept);

    const auto rerender = [this](const auto&) { render(); };
    subscriptions_.push_back(viewModel_->phase.subscribeQueued(this, rerender));
    subscriptions_.push_back(viewModel_->qrImage.subscribeQueued(this, rerender));
    subscriptions_.push_back(viewModel_->remainingSeconds.subscribeQueued(this, rerender));
    render();
}

PairingSheet::~PairingSheet() = default;

void PairingSheet::buildLoadingPage()
{
    loading_ = new QWidget(content_);
    QVBoxLayout* loading = stateColumn(loading_, 6);
    loading->addSpacing(40);
    auto* spinner = new QProgressBar(loading_);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedWidth(120);
    loading->addWidget(spinner, 0, Qt::AlignHCenter);
    loading->addWidget(
        new ThemedLabel(QStringLiteral("正在生成二维码…"), WindowTheme::font(13), &WindowTheme::secondary, loading_), 0,
        Qt::AlignHCenter);
    loading->addSpacing(40);
    loading->addStretch();
}

void PairingSheet::buildReadyPage()
{
    ready_ = new QWidget(content_);
    QVBoxLayout* ready = stateColumn(ready_, 12);
    qrCode_ = new QRCodeView(ready_);
    ready->addWidget(qrCode_, 0, Qt::AlignHCenter);
    code_ = new ThemedLabel(QString(), WindowTheme::monospacedFont(13), &WindowTheme::secondary, ready_);
    code_->setObjectName(QStringLiteral("pairingCode"));
    code_->setTextFormat(Qt::PlainText);
    ready->addWidget(code_, 0, Qt::AlignHCenter);
    expiry_ = captionLabel(QString(), ready_);
    expiry_->setObjectName(QStringLiteral("expiry"));
    expiry_->setTextFormat(Qt::PlainText);
    ready->addWidget(expiry_, 0, Qt::AlignHCenter);
    ready->addStretch();
}

void PairingSheet::buildFailedPage()
{
    failed_ = new QWidget(content_);
    QVBoxLayout* failed = stateColumn(failed_, 12);
    failed->addSpacing(24);
    auto* warning = new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 28, &WindowTheme::orange, failed_);
    failed->addWidget(warning, 0, Qt::AlignHCenter);
    failure_ = new ThemedLabel(QString(), WindowTheme::calloutFont(), &WindowTheme::primary, failed_);
    failure_->setObjectName(QStringLiteral("failure"));
    failure_->setTextFormat(Qt::PlainText);
    failure_->setWordWrap(true);
    failure_->setAlignment(Qt::AlignHCenter);
    failed->addWidget(failure_);
    auto* retry = new QPushButton(QStringLiteral("重试"), failed_);
    retry->setAutoDefault(false);
    failed->addWidget(retry, 0, Qt::AlignHCenter);
    failed->addStretch();
    connect(retry, &QPushButton::clicked, this, [this] { viewModel_->load(); });
}

void PairingSheet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    viewModel_->load();
    QPointer<PairingSheet> self(this);
    viewModel_->startClaimPolling([self] {
        if (self)
            self->accept();
    });
}

void PairingSheet::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        viewModel_->stop();
}

void PairingSheet::render()
{
    const PairingSheetPhase& phase = viewModel_->phase.value();
    done_->setEnabled(std::holds_alternative<PairingSheetReady>(phase));
    if (const auto* ready = std::get_if<PairingSheetReady>(&phase)) {
        content_->setCurrentWidget(ready_);
        qrCode_->setImage(viewModel_->qrImage.value());
        code_->setText(QStringLiteral("配对码 ")
                       + PairingSheetViewModel::formattedCode(oneLineForDisplay(ready->code)));
        const int seconds = viewModel_->remainingSeconds.value();
        expiry_->setText(PairingSheetViewModel::expireText(seconds));
        expiry_->setInk(seconds == 0 ? &WindowTheme::red : &WindowTheme::secondary);
    } else if (const auto* failed = std::get_if<PairingSheetFailed>(&phase)) {
        content_->setCurrentWidget(failed_);
        failure_->setText(failed->message);
    } else {
        content_->setCurrentWidget(loading_);
    }
}

} // namespace vellamor
