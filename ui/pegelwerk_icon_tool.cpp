// Writes the program's icon for installing with the program: a PNG of the
// 16 x 16 image, or, for an .svg name, the same image as a scalable drawing
// (one square per pixel, merged along rows).
#include <QFile>
#include <QString>
#include <cstdio>

#include "ui/pegelwerk_icon.h"

namespace {

QByteArray IconSvg(const QImage& icon) {
    QByteArray svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += QStringLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
               "viewBox=\"0 0 %1 %2\" shape-rendering=\"crispEdges\">\n")
               .arg(icon.width())
               .arg(icon.height())
               .toUtf8();
    for (int y = 0; y < icon.height(); ++y) {
        int x = 0;
        while (x < icon.width()) {
            const QRgb colour = icon.pixel(x, y);
            int run = 1;
            while (x + run < icon.width() && icon.pixel(x + run, y) == colour) ++run;
            if (qAlpha(colour) != 0) {
                svg += QStringLiteral(
                           "  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"1\" fill=\"#%4\"/>\n")
                           .arg(x)
                           .arg(y)
                           .arg(run)
                           .arg(colour & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                           .toUtf8();
            }
            x += run;
        }
    }
    svg += "</svg>\n";
    return svg;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png|OUTPUT.svg\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QImage icon = PegelwerkIcon();
    bool written = false;
    if (out.endsWith(QLatin1String(".svg"))) {
        QFile file(out);
        written = file.open(QIODevice::WriteOnly) && file.write(IconSvg(icon)) > 0;
    } else {
        written = icon.save(out, "PNG");
    }
    if (!written) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
