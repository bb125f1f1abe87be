// Renders the program's icon, drawn once in SVG, to the PNG sizes a desktop's
// icon theme looks for: OUTDIR/NxN/quelt.png for each SIZE.
//
// Usage: quelt_render_icon ICON.svg OUTDIR SIZE...

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fputs("usage: quelt_render_icon ICON.svg OUTDIR SIZE...\n", stderr);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "quelt_render_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        const QString folder = QStringLiteral("%1x%1").arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        if (size <= 0 || !out.mkpath(folder) ||
            !image.save(out.filePath(folder + QStringLiteral("/quelt.png")))) {
            std::fprintf(stderr, "quelt_render_icon: cannot write the %s icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
