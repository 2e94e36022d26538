// Draws the application icon: a handheld receiver whose screen shows a
// route and the current position. The 16 and 32 pixel images are pixel art
// in 16 colours, drawn by hand below; the 256 pixel image is the same design
// drawn smoothly, for desktops that show large icons; so is every size but
// 16 and 32.
//
//     lumagrab_draw_icon OUTPUT_DIRECTORY [SIZE...]
// writes lumagrab-SIZE.png there for each size (default 16, 32 and 256: the
// images in app/res; the build makes the desktop theme's sizes with it).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// One character per pixel: '.' transparent, k black, n navy, b blue,
// s silver, g green, r red, y yellow, d grey.
constexpr const char* kIcon32[] = {
    "................................", "....................kkkk........",
    "....................kddk........", "....................kddk........",
    "....................kddk........", "....................kddk........",
    ".......kkkkkkkkkkkkkkkkkk.......", "......kknnnnnnnnnnnnnnnnkk......",
    "......kbnnnnnnnnnnnnnnnnnk......", "......kbnkkkkkkkkkkkkkknnk......",
    "......kbnkssssssssssssknnk......", "......kbnkssssssssssgsknnk......",
    "......kbnksssssssssgssknnk......", "......kbnksssssssssgssknnk......",
    "......kbnkssssssssgsssknnk......", "......kbnkssssgskgssssknnk......",
    "......kbnksssgskrkssssknnk......", "......kbnkssgskrrrksssknnk......",
    "......kbnkssgsskrkssssknnk......", "......kbnksgssssksssssknnk......",
    "......kbnkssssssssssssknnk......", "......kbnkkkkkkkkkkkkkknnk......",
    "......kbnnnnnnnnnnnnnnnnnk......", "......kbnnnnnnnnnnnnnnnnnk......",
    "......kbnnkkkkknnkkkkknnnk......", "......kbnnkyyyknnkyyyknnnk......",
    "......kbnnkyyyknnkyyyknnnk......", "......kbnnkkkkknnkkkkknnnk......",
    "......kbnnnnnnnnnnnnnnnnnk......", "......kknnnnnnnnnnnnnnnnkk......",
    ".......kkkkkkkkkkkkkkkkkk.......", "................................",
};

constexpr const char* kIcon16[] = {
    "..........kkk...", "..........kdk...", "..........kdk...", "...kkkkkkkkkkk..",
    "..kbnnnnnnnnnnk.", "..kbkkkkkkkknnk.", "..kbkssssssknnk.", "..kbksssssgknnk.",
    "..kbkssrsgsknnk.", "..kbksrrrssknnk.", "..kbkgsrsssknnk.", "..kbkkkkkkkknnk.",
    "..kbnnnnnnnnnnk.", "..kbnyynnyynnnk.", "..kbnnnnnnnnnnk.", "...kkkkkkkkkkk..",
};

QRgb paletteColour(char c) {
    switch (c) {
        case 'k':
            return qRgb(0, 0, 0);
        case 'n':
            return qRgb(0, 0, 128);
        case 'b':
            return qRgb(0, 0, 255);
        case 's':
            return qRgb(192, 192, 192);
        case 'g':
            return qRgb(0, 128, 0);
        case 'r':
            return qRgb(255, 0, 0);
        case 'y':
            return qRgb(255, 255, 0);
        case 'd':
            return qRgb(128, 128, 128);
        default:
            return qRgba(0, 0, 0, 0);
    }
}

QImage fromPixelArt(const char* const* rows, int size) {
    const char letters[] = ".knbsgryd";
    QImage image(size, size, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (const char* l = letters; *l; ++l) table << paletteColour(*l);
    image.setColorTable(table);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            image.setPixel(x, y, static_cast<uint>(std::strchr(letters, rows[y][x]) - letters));
        }
    }
    return image;
}

// The large image, on the same 32 x 32 grid, smoothed.
QImage drawLarge(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    const QPen outline(QColor(20, 28, 40), 0.6);
    p.setPen(outline);

    p.setBrush(QColor(70, 80, 92));  // antenna
    p.drawRoundedRect(QRectF(20.5, 1.5, 3, 7), 0.8, 0.8);

    QLinearGradient shade(6, 6, 26, 30);
    shade.setColorAt(0, QColor(58, 100, 150));
    shade.setColorAt(1, QColor(33, 60, 96));
    p.setBrush(shade);
    p.drawRoundedRect(QRectF(6.5, 6.5, 19, 24), 3, 3);

    p.setBrush(QColor(206, 226, 190));  // screen
    p.drawRoundedRect(QRectF(9.5, 9.5, 13, 12), 0.8, 0.8);

    p.setPen(QPen(QColor(30, 110, 60), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath route(QPointF(11.5, 19.5));
    route.lineTo(14.5, 15.5);
    route.lineTo(16.5, 17.5);
    route.lineTo(20.5, 11.5);
    p.drawPath(route);

    p.setPen(outline);  // current position
    p.setBrush(QColor(214, 48, 40));
    p.drawEllipse(QPointF(16.5, 17.5), 2.0, 2.0);

    p.setBrush(QColor(240, 200, 60));  // keys
    p.drawRoundedRect(QRectF(10.5, 24.5, 4, 3), 0.6, 0.6);
    p.drawRoundedRect(QRectF(17.5, 24.5, 4, 3), 0.6, 0.6);
    return image;
}

QImage drawIcon(int size) {
    if (size == 16)
        return fromPixelArt(kIcon16, 16);
    if (size == 32)
        return fromPixelArt(kIcon32, 32);
    return drawLarge(size);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY [SIZE...]\n", argv[0]);
        return 2;
    }
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "%s: size %s is not from 8 to 1024\n", argv[0], argv[i]);
            return 2;
        }
        sizes.push_back(size);
    }
    if (sizes.empty())
        sizes = {16, 32, 256};
    const QString dir = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    for (int size : sizes) {
        const QString name = QStringLiteral("lumagrab-%1.png").arg(size);
        if (!drawIcon(size).save(dir + name))
            return 1;
    }
    return 0;
}
