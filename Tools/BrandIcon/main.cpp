// Renders the application's icon from the same drawing as the in-app logo:
// vellamor-brand-icon <pixels> <output.png>
#include "Diagnostics/BrandLogo.h"

#include <QGuiApplication>
#include <QImage>
#include <QTextStream>

int main(int argc, char** argv)
{
    bool sizeOk = false;
    const int pixels = argc == 3 ? QString::fromLocal8Bit(argv[1]).toInt(&sizeOk) : 0;
    if (!sizeOk || pixels <= 0) {
        QTextStream(stderr) << "usage: vellamor-brand-icon <pixels> <output.png>\n";
        return 2;
    }
    // Drawing needs no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString output = QString::fromLocal8Bit(argv[2]);
    if (!vellamor::BrandLogo::renderIcon(pixels).save(output, "PNG")) {
        QTextStream(stderr) << "cannot write " << output << '\n';
        return 1;
    }
    return 0;
}
