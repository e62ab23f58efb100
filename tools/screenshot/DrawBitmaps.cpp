// Draws the five 24-bit bitmaps of the main window: the parcel picture of the about box and
// the shop banners of the image buttons. Usage: kurierix_drawbitmaps <app/images folder>
#include "parcels/Tahoma.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

QFont bannerFont(int pixelSize, bool bold)
{
    return tahoma::font(pixelSize, bold);
}

bool save(const QImage& image, const QString& folder, const char* name)
{
    // 24 bits per pixel, as the buttons' glyphs always were.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const QString path = QDir(folder).filePath(QLatin1String(name));
    if (!rgb.save(path, "BMP")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

void drawStar(QPainter& p, const QPointF& centre, double outer, double inner, const QColor& colour)
{
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const double radius = (i % 2 == 0) ? outer : inner;
        const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const QPointF point(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
        if (i == 0)
            star.moveTo(point);
        else
            star.lineTo(point);
    }
    star.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(star);
}

void drawBag(QPainter& p, const QRectF& body, const QColor& colour)
{
    p.setPen(QPen(colour.darker(140), 2));
    p.setBrush(colour);
    p.drawRoundedRect(body, 3, 3);
    p.setBrush(Qt::NoBrush);
    const double w = body.width();
    p.drawArc(QRectF(body.left() + w * 0.25, body.top() - w * 0.3, w * 0.5, w * 0.6), 0, 180 * 16);
}

QImage parcelPicture()
{
    QImage image(173, 151, QImage::Format_RGB32);
    image.fill(QColor(0xF0, 0xF0, 0xF0));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Shadow under the box.
    QRadialGradient shadow(QPointF(86, 136), 70);
    shadow.setColorAt(0, QColor(0, 0, 0, 70));
    shadow.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(QPointF(86, 136), 75, 12);

    const QColor front(0xC8, 0x8A, 0x4E);
    const QColor side(0xA8, 0x6C, 0x36);
    const QColor top(0xDD, 0xA7, 0x6A);
    const QPointF a(24, 52), b(112, 52), c(112, 134), d(24, 134); // front face
    const QPointF e(150, 30), f(150, 110), g(62, 30);             // depth
    p.setPen(QPen(QColor(0x6E, 0x45, 0x1E), 1.5));
    p.setBrush(front);
    p.drawPolygon(QPolygonF({a, b, c, d}));
    p.setBrush(side);
    p.drawPolygon(QPolygonF({b, e, f, c}));
    p.setBrush(top);
    p.drawPolygon(QPolygonF({a, g, e, b}));

    // Tape across the lid and down the front.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xE9, 0xD8, 0xA6));
    p.drawPolygon(QPolygonF({QPointF(60, 52), QPointF(98, 30), QPointF(110, 30), QPointF(72, 52)}));
    p.drawRect(QRectF(60, 52, 12, 82));

    // Address label with a bar code.
    p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(30, 92, 74, 36));
    p.setPen(QPen(Qt::black, 1));
    for (int i = 0; i < 30; ++i) {
        if ((i * 7) % 3 == 0)
            continue;
        const double x = 34 + i * 2.2;
        p.drawLine(QPointF(x, 96), QPointF(x, 110));
    }
    p.setFont(bannerFont(9, false));
    p.drawText(QRectF(30, 112, 74, 14), Qt::AlignCenter, QStringLiteral("RR123456789CN"));

    // "Fragile" glass and arrows on the side.
    p.setPen(QPen(QColor(0x5A, 0x36, 0x12), 2));
    p.drawLine(QPointF(124, 90), QPointF(124, 70));
    p.drawLine(QPointF(124, 70), QPointF(119, 77));
    p.drawLine(QPointF(124, 70), QPointF(129, 77));
    p.drawLine(QPointF(137, 82), QPointF(137, 62));
    p.drawLine(QPointF(137, 62), QPointF(132, 69));
    p.drawLine(QPointF(137, 62), QPointF(142, 69));

    p.setPen(QColor(0x1A, 0x3C, 0x8C));
    p.setFont(bannerFont(13, true));
    p.drawText(QRectF(0, 2, 173, 20), Qt::AlignCenter, QStringLiteral("Ваша посылка"));
    return image;
}

QImage shopOneBanner(int width, int height, const QString& slogan)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, width, height);
    background.setColorAt(0, QColor(0xFF, 0x6A, 0x00));
    background.setColorAt(1, QColor(0xE4, 0x1E, 0x26));
    p.fillRect(image.rect(), background);

    // Light rays from the lower right.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 28));
    for (int i = 0; i < 6; ++i) {
        QPainterPath ray;
        ray.moveTo(width, height);
        ray.lineTo(-20 + i * width / 5.0, 0);
        ray.lineTo(-20 + i * width / 5.0 + width / 12.0, 0);
        ray.closeSubpath();
        p.drawPath(ray);
    }

    const bool wide = width > height * 1.6;
    const int titleSize = wide ? 20 : 26;
    p.setPen(Qt::white);
    p.setFont(bannerFont(titleSize, true));
    const QRectF titleBox = wide ? QRectF(8, 6, width - 60, 34) : QRectF(0, 10, width, 36);
    p.drawText(titleBox, wide ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter, QStringLiteral("AliExpress"));

    p.setFont(bannerFont(wide ? 12 : 13, true));
    p.setPen(QColor(0xFF, 0xF2, 0x9E));
    const QRectF sloganBox = wide ? QRectF(8, 40, width - 60, 36) : QRectF(6, 48, width - 12, 40);
    p.drawText(sloganBox, Qt::TextWordWrap | (wide ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignTop, slogan);

    if (wide) {
        drawBag(p, QRectF(width - 46, 34, 34, 38), QColor(0xFF, 0xD2, 0x3F));
    } else {
        drawBag(p, QRectF(width / 2.0 - 20, height - 54, 40, 42), QColor(0xFF, 0xD2, 0x3F));
        drawStar(p, QPointF(26, height - 36), 13, 5.5, QColor(0xFF, 0xF2, 0x9E));
        drawStar(p, QPointF(width - 26, height - 36), 13, 5.5, QColor(0xFF, 0xF2, 0x9E));
    }
    p.setPen(QPen(QColor(255, 255, 255, 160), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, width - 2, height - 2));
    return image;
}

QImage shopThreeBanner()
{
    const int width = 172;
    const int height = 144;
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, height);
    background.setColorAt(0, QColor(0x23, 0x2F, 0x3E));
    background.setColorAt(1, QColor(0x13, 0x19, 0x21));
    p.fillRect(image.rect(), background);

    p.setPen(Qt::white);
    p.setFont(bannerFont(28, true));
    p.drawText(QRectF(0, 12, width, 40), Qt::AlignCenter, QStringLiteral("Amazon"));

    // The smile-shaped arrow under the name.
    p.setPen(QPen(QColor(0xFF, 0x99, 0x00), 5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath smile;
    smile.moveTo(34, 56);
    smile.quadTo(86, 78, 136, 56);
    p.drawPath(smile);
    p.setBrush(QColor(0xFF, 0x99, 0x00));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({QPointF(128, 50), QPointF(144, 52), QPointF(136, 64)}));

    p.setPen(QColor(0xFF, 0xC8, 0x6A));
    p.setFont(bannerFont(13, true));
    p.drawText(QRectF(8, 80, width - 16, 40), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("Книги, электроника и всё остальное"));

    // A row of little parcels.
    for (int i = 0; i < 5; ++i) {
        const QRectF box(18 + i * 28, 120, 20, 16);
        p.setPen(QPen(QColor(0x8A, 0x5A, 0x2B), 1));
        p.setBrush(QColor(0xC8, 0x8A, 0x4E));
        p.drawRect(box);
        p.setPen(QPen(QColor(0xE9, 0xD8, 0xA6), 2));
        p.drawLine(QPointF(box.center().x(), box.top()), QPointF(box.center().x(), box.bottom()));
    }
    p.setPen(QPen(QColor(0xFF, 0x99, 0x00), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, width - 2, height - 2));
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    bool ok = save(parcelPicture(), folder, "parcel.bmp");
    ok = save(shopOneBanner(176, 144, QStringLiteral("Миллионы товаров с бесплатной доставкой")), folder,
              "shop1-large.bmp")
         && ok;
    ok = save(shopOneBanner(179, 84, QStringLiteral("Скидки каждый день")), folder, "shop1-wide.bmp") && ok;
    ok =
        save(shopOneBanner(172, 144, QStringLiteral("Всё для дома, хобби и отдыха")), folder, "shop1-square.bmp") && ok;
    ok = save(shopThreeBanner(), folder, "shop3.bmp") && ok;
    return ok ? 0 : 1;
}
