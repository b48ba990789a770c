// The floors of the memory benchmark: what Qt itself costs, built from the
// same Qt as the application and driven through the same commands.
//   vellamor-bench-memory-floor tray     a tray icon with a menu, nothing else
//   vellamor-bench-memory-floor windows  the same, plus on "open" a settings-like
//                                        window (a sidebar and eight pages of
//                                        standard widgets), a history list of
//                                        500 rows and a dictionary list
// Commands, one a line on standard input, each answered "ok": "open" shows
// the windows and every page in turn; "close" deletes them and gives the
// freed heap back. Nothing of the application is linked.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTextStream>

#include <malloc.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

QIcon trayIcon()
{
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setBrush(Qt::black);
    painter.drawEllipse(3, 3, 16, 16);
    return QIcon(pixmap);
}

QWidget* standardPage(int index)
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->addRow(new QLabel(QStringLiteral("第 %1 页").arg(index + 1)));
    for (int row = 0; row < 4; ++row) {
        form->addRow(QStringLiteral("开关 %1").arg(row), new QCheckBox(QStringLiteral("启用")));
        auto* combo = new QComboBox;
        combo->addItems({QStringLiteral("自动"), QStringLiteral("中文"), QStringLiteral("English")});
        form->addRow(QStringLiteral("选项 %1").arg(row), combo);
        form->addRow(QStringLiteral("文本 %1").arg(row), new QLineEdit(QStringLiteral("今天下午三点开会")));
    }
    form->addRow(new QPushButton(QStringLiteral("刷新")));
    return page;
}

std::unique_ptr<QWidget> settingsWindow()
{
    auto window = std::make_unique<QWidget>();
    window->resize(820, 560);
    auto* layout = new QHBoxLayout(window.get());
    auto* sidebar = new QListWidget;
    sidebar->setFixedWidth(200);
    auto* pages = new QStackedWidget;
    for (int i = 0; i < 8; ++i) {
        sidebar->addItem(QStringLiteral("分区 %1").arg(i + 1));
        pages->addWidget(standardPage(i));
    }
    QObject::connect(sidebar, &QListWidget::currentRowChanged, pages, &QStackedWidget::setCurrentIndex);
    layout->addWidget(sidebar);
    layout->addWidget(pages, 1);
    return window;
}

std::unique_ptr<QListWidget> listWindow(int rows, const QString& text, QSize size)
{
    auto list = std::make_unique<QListWidget>();
    for (int i = 0; i < rows; ++i)
        list->addItem(QStringLiteral("%1 %2").arg(text).arg(i));
    list->resize(size);
    return list;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const bool windows = argc > 1 && qstrcmp(argv[1], "windows") == 0;

    QMenu menu;
    for (const char* label : {"开始录音", "历史记录", "个人词典", "设置…", "退出"})
        menu.addAction(QString::fromUtf8(label));
    QSystemTrayIcon tray(trayIcon());
    tray.setContextMenu(&menu);
    tray.show();

    std::vector<std::unique_ptr<QWidget>> open;
    QTextStream out(stdout);
    QSocketNotifier commands(0, QSocketNotifier::Read);
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        char line[64] = {};
        if (!std::fgets(line, sizeof line, stdin)) {
            QApplication::quit();
            return;
        }
        const QByteArray command = QByteArray(line).trimmed();
        if (command == "open" && windows && open.empty()) {
            auto settings = settingsWindow();
            auto* sidebar = settings->findChild<QListWidget*>();
            settings->show();
            for (int i = 0; i < 8; ++i) {
                sidebar->setCurrentRow(i);
                QApplication::processEvents();
            }
            open.push_back(std::move(settings));
            open.push_back(listWindow(500, QStringLiteral("今天下午三点在会议室讨论新版本的发布计划"), {320, 300}));
            open.push_back(listWindow(40, QStringLiteral("Vellamor → 维拉摩"), {620, 480}));
            for (const auto& window : open)
                window->show();
        } else if (command == "close") {
            open.clear();
            QPixmapCache::clear();
            malloc_trim(0);
        }
        QApplication::processEvents();
        out << "ok" << Qt::endl;
    });
    return QApplication::exec();
}
