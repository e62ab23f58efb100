// Draws the program's menu icon, a parcel tied with string, at the usual sizes:
//   kurierix-icons <output folder>   writes <folder>/<size>x<size>/kurierix.png
// The PNGs are committed under packaging/icons; run this again only to change the picture.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <cstdio>

namespace {

QImage drawParcel(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    const QColor front(0xd9, 0xa4, 0x65), top(0xec, 0xc0, 0x85), side(0xb5, 0x7f, 0x45), edge(0x6b, 0x45, 0x1f);
    p.setPen(QPen(edge, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));

    // One face of the box: a closed outline through `corners`, filled with `colour`.
    const auto face = [&p](std::initializer_list<QPointF> corners, const QColor& colour) {
        p.setBrush(colour);
        p.drawPolygon(QPolygonF(QList<QPointF>(corners)));
    };
    face({{6, 20}, {30, 8}, {58, 16}, {34, 28}}, top);
    face({{6, 20}, {34, 28}, {34, 58}, {6, 48}}, front);
    face({{34, 28}, {58, 16}, {58, 46}, {34, 58}}, side);

    // The string: one band across the top and down both faces.
    p.setPen(QPen(QColor(0xc0, 0x20, 0x20), 3.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(18, 14), QPointF(46, 22));
    p.drawLine(QPointF(20, 24), QPointF(20, 53));
    p.drawLine(QPointF(46, 22), QPointF(46, 52));
    // A label on the front with the tracking lines.
    p.setPen(QPen(edge, 1.0));
    p.setBrush(QColor(0xfa, 0xf6, 0xe8));
    p.drawRect(QRectF(24, 36, 8, 10));
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kurierix-icons <output folder>\n");
        return 2;
    }
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/%2x%2").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        QDir().mkpath(dir);
        if (!drawParcel(size).save(dir + QStringLiteral("/kurierix.png"))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
