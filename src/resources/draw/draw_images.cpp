// Draws the window icon and the splash logo: a handheld radio sending waves.
// Usage: draw_images <icon.png> <logo.png> [icon-theme-dir]
// With a third argument the icon is also drawn at the desktop's usual sizes as
// <icon-theme-dir>/<N>x<N>.png.

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor body_dark(0x23, 0x3a, 0x4f);
const QColor body_light(0x3b, 0x5f, 0x80);
const QColor accent(0xf0, 0x8a, 0x24);
const QColor screen(0xb8, 0xe0, 0xc8);

// The radio in a 100 x 100 design box; the caller scales and moves the painter.
void draw_radio(QPainter &p)
{
    p.setPen(Qt::NoPen);
    // antenna
    p.setBrush(body_dark);
    p.drawRoundedRect(QRectF(30, 4, 9, 34), 4, 4);
    p.setBrush(accent);
    p.drawEllipse(QPointF(34.5, 6), 5, 5);
    // knob
    p.setBrush(body_dark);
    p.drawRoundedRect(QRectF(54, 14, 10, 12), 2, 2);
    // body
    QLinearGradient g(24, 0, 76, 0);
    g.setColorAt(0, body_light);
    g.setColorAt(1, body_dark);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(24, 24, 48, 72), 9, 9);
    // display
    p.setBrush(screen);
    p.drawRoundedRect(QRectF(31, 32, 34, 16), 3, 3);
    p.setBrush(body_dark);
    p.drawRect(QRectF(35, 38, 16, 4));
    // speaker grille
    p.setBrush(QColor(0x16, 0x26, 0x34));
    for (int i = 0; i < 5; ++i)
        p.drawRoundedRect(QRectF(32, 56 + i * 6.5, 32, 3), 1.5, 1.5);
    // push-to-talk button
    p.setBrush(accent);
    p.drawRoundedRect(QRectF(20, 44, 5, 18), 2, 2);
}

void draw_waves(QPainter &p, QPointF centre, double first, double step, double width)
{
    QPen pen(accent, width, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        const double r = first + i * step;
        QRectF box(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
        p.drawArc(box, -40 * 16, 80 * 16);
        p.drawArc(box, 140 * 16, 80 * 16);
    }
}

QImage draw_icon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 116.0, size / 116.0);
    p.translate(14, 20);
    draw_radio(p);
    draw_waves(p, QPointF(34.5, 6), 12, 9, 4.5);
    return img;
}

QImage draw_logo(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient bg(0, 0, 0, h);
    bg.setColorAt(0, QColor(0xe9, 0xf1, 0xf7));
    bg.setColorAt(1, QColor(0xc9, 0xda, 0xe8));
    p.fillRect(img.rect(), bg);
    // a thin frame and a band at the bottom for the status line
    p.setPen(QPen(body_dark, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, w - 2, h - 2));
    p.fillRect(QRectF(2, h - 42, w - 4, 40), QColor(0xf7, 0xfa, 0xfc));

    p.save();
    p.translate(30, 70);
    p.scale(2.0, 2.0);
    draw_radio(p);
    draw_waves(p, QPointF(34.5, 6), 12, 9, 3);
    p.restore();

    p.setPen(body_dark);
    QFont title("DejaVu Sans", 24, QFont::Bold);
    p.setFont(title);
    p.drawText(QRectF(215, 80, w - 225, 50), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Торвел-K40"));
    QFont sub("DejaVu Sans", 15);
    p.setFont(sub);
    p.setPen(QColor(0x3b, 0x4f, 0x60));
    p.drawText(QRectF(215, 125, w - 225, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Программатор"));
    p.setPen(QPen(accent, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(217, 165), QPointF(w - 30, 165));
    return img;
}

}  // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3 && argc != 4)
        return 2;
    bool ok = draw_icon(128).save(QString::fromLocal8Bit(argv[1]))
              && draw_logo(440, 310).save(QString::fromLocal8Bit(argv[2]));
    if (argc == 4) {
        const QString dir = QString::fromLocal8Bit(argv[3]);
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            ok = ok && draw_icon(size).save(QStringLiteral("%1/%2x%2.png").arg(dir).arg(size));
    }
    return ok ? 0 : 1;
}
