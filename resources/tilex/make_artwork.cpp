// Draws the game's artwork at build time: the window skin (background and shape, board frame and
// its mask, clock face), the ten buttons' normal and lit faces, the default picture, and the
// records file with every board size cleared.
//
//   tilex-artwork <output folder>
//
// Writes skin/<id>.bmp, default.bmp and Tilex.ini into the folder.
#include "records.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QtMath>
#include <cstdio>

namespace {

const QColor bodyTop(0x2b, 0x3d, 0x66);
const QColor bodyBottom(0x16, 0x20, 0x3a);
const QColor panelTop(0x33, 0x49, 0x78);
const QColor panelBottom(0x1d, 0x2a, 0x4b);
const QColor gold(0xe6, 0xb8, 0x52);
const QColor goldDark(0x8a, 0x63, 0x1c);
const QColor well(0x0e, 0x15, 0x26);
const QColor cyan(116, 228, 248);

QFont uiFont(int pixelSize, int weight = QFont::Bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

bool save(const QImage& image, const QString& path) {
    // 24-bit bitmaps, as the skin is loaded: no alpha channel.
    if (!image.convertToFormat(QImage::Format_RGB888).save(path, "BMP")) {
        std::fprintf(stderr, "tilex-artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QPainterPath bodyShape() {
    QPainterPath body;
    body.addRoundedRect(QRectF(10, 14, 780, 576), 38, 38);
    // The control column rises a little above the body, like a tower.
    QPainterPath tower;
    tower.addRoundedRect(QRectF(640, 4, 152, 592), 30, 30);
    return body.united(tower);
}

// Within the shape no pixel may be pure black, or it would become a hole in the window.
void keepShapeSolid(QImage& image, const QPainterPath& shape, qreal factor) {
    QImage mask(image.size(), QImage::Format_Grayscale8);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.scale(factor, factor);
        p.fillPath(shape, Qt::white);
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        const uchar* inside = mask.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            if (inside[x] < 128) {
                row[x] = qRgb(0, 0, 0);
            } else if ((row[x] & 0xFFFFFF) == 0) {
                row[x] = qRgb(6, 6, 8);
            }
        }
    }
}

void engrave(QPainter& p, const QRectF& rect, const QString& text, const QFont& font, const QColor& colour) {
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(rect.translated(1.5, 1.5), Qt::AlignCenter, text);
    p.setPen(colour);
    p.drawText(rect, Qt::AlignCenter, text);
}

// factor 2 draws the same artwork at twice the resolution, for large windows and screens.
QImage background(qreal factor) {
    QImage image(qRound(800 * factor), qRound(600 * factor), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.scale(factor, factor);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath body = bodyShape();

    QLinearGradient bodyFill(0, 0, 0, 600);
    bodyFill.setColorAt(0, bodyTop);
    bodyFill.setColorAt(1, bodyBottom);
    p.fillPath(body, bodyFill);
    // A fine diagonal weave over the body.
    p.save();
    p.setClipPath(body);
    p.setPen(QPen(QColor(255, 255, 255, 10), 1));
    for (int d = -600; d < 800; d += 9)
        p.drawLine(d, 0, d + 600, 600);
    p.restore();
    p.setPen(QPen(gold, 3));
    p.drawPath(body);

    // Control column.
    QLinearGradient panelFill(0, 40, 0, 580);
    panelFill.setColorAt(0, panelTop);
    panelFill.setColorAt(1, panelBottom);
    const QRectF panel(646, 60, 140, 510);
    p.setPen(QPen(QColor(gold.red(), gold.green(), gold.blue(), 160), 1.5));
    p.setBrush(panelFill);
    p.drawRoundedRect(panel, 18, 18);

    // Title plate above the board.
    engrave(p, QRectF(80, 20, 540, 46), QStringLiteral("T I L E X"), uiFont(30), gold);
    p.setPen(QPen(QColor(gold.red(), gold.green(), gold.blue(), 120), 1));
    p.drawLine(QPointF(120, 43), QPointF(262, 43));
    p.drawLine(QPointF(438, 43), QPointF(580, 43));

    // The board's well: what shows through the empty slot and around a small picture.
    const QRectF board(80, 75, 540, 455);
    QRadialGradient wellFill(board.center(), 360);
    wellFill.setColorAt(0, QColor(0x1c, 0x27, 0x42));
    wellFill.setColorAt(1, well);
    p.fillRect(board, wellFill);
    p.save();
    p.setClipRect(board);
    p.setPen(QPen(QColor(116, 228, 248, 22), 1));
    for (int x = 80; x < 620; x += 20)
        p.drawLine(x, 75, x, 530);
    for (int y = 75; y < 530; y += 20)
        p.drawLine(80, y, 620, y);
    engrave(p, board, QStringLiteral("TILEX"), uiFont(96), QColor(116, 228, 248, 28));
    p.restore();

    // The clock's display plate; the game draws the move count beside the face.
    p.setPen(QPen(gold, 1.5));
    p.setBrush(QColor(0x0c, 0x13, 0x22));
    p.drawRoundedRect(QRectF(658.5, 153.5, 116, 39), 9, 9);

    // Small studs at the body's corners.
    p.setPen(Qt::NoPen);
    for (QPointF stud : {QPointF(34, 38), QPointF(34, 566), QPointF(612, 566), QPointF(612, 38)}) {
        QRadialGradient shine(stud - QPointF(1.5, 1.5), 6);
        shine.setColorAt(0, QColor(0xff, 0xf0, 0xc0));
        shine.setColorAt(1, goldDark);
        p.setBrush(shine);
        p.drawEllipse(stud, 5, 5);
    }
    // The line under the board is a text of the interface: the game draws it translated.
    p.end();
    keepShapeSolid(image, body, factor);
    return image;
}

// The frame laid over the board: the picture (black where the board shows) and its mask (white
// where the board shows). Screen = (screen AND mask) OR frame.
std::pair<QImage, QImage> frame(qreal factor) {
    const QRect outer(0, 0, 551, 470);
    const QRect hole(2, 6, 544, 459); // the board at (80, 75) and two pixels around it
    const QSize size(qRound(outer.width() * factor), qRound(outer.height() * factor));
    QImage ring(size, QImage::Format_ARGB32);
    ring.fill(Qt::transparent);
    {
        QPainter p(&ring);
        p.scale(factor, factor);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(outer).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        QPainterPath inner;
        inner.addRect(hole);
        QLinearGradient metal(0, 0, 0, 470);
        metal.setColorAt(0, QColor(0xff, 0xe2, 0x9a));
        metal.setColorAt(0.5, gold);
        metal.setColorAt(1, goldDark);
        p.fillPath(shape.subtracted(inner), metal);
        p.setPen(QPen(QColor(0x5a, 0x3c, 0x0c), 1));
        p.drawRect(QRectF(hole).adjusted(-0.5, -0.5, 0.5, 0.5));
    }
    QImage picture(size, QImage::Format_RGB32);
    QImage mask(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb pixel = ring.pixel(x, y);
            const bool solid = qAlpha(pixel) >= 128;
            // Unpremultiplied colour where the ring is, untouched screen elsewhere.
            picture.setPixel(x, y, solid ? qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel)) : qRgb(0, 0, 0));
            mask.setPixel(x, y, solid ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return {picture, mask};
}

QImage clockFace(qreal factor) {
    QImage image(qRound(65 * factor), qRound(25 * factor), QImage::Format_RGB32);
    QPainter p(&image);
    p.scale(factor, factor);
    QLinearGradient lcd(0, 0, 0, 25);
    lcd.setColorAt(0, QColor(0xd6, 0xee, 0xc2));
    lcd.setColorAt(1, QColor(0xa8, 0xcf, 0x94));
    p.fillRect(image.rect(), lcd);
    p.setPen(QColor(0x6d, 0x8f, 0x5e));
    p.drawRect(0, 0, 64, 24);
    return image;
}

struct ButtonFace {
    int normalId;
    QString label;
    QSize size;
};

// Pure red around the face is the transparent colour of a button's shape.
QImage buttonFace(const ButtonFace& face, bool lit, qreal factor) {
    QImage art(face.size * factor, QImage::Format_ARGB32_Premultiplied);
    art.fill(Qt::transparent);
    {
        QPainter p(&art);
        p.scale(factor, factor);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF pill = QRectF(QPointF(0, 0), QSizeF(face.size)).adjusted(1, 1, -1, -1);
        const qreal radius = pill.height() / 2;
        QLinearGradient fill(0, 0, 0, face.size.height());
        if (lit) {
            fill.setColorAt(0, QColor(0xd8, 0xfa, 0xff));
            fill.setColorAt(0.5, cyan);
            fill.setColorAt(1, QColor(0x2a, 0x8f, 0xb0));
        } else {
            fill.setColorAt(0, QColor(0xff, 0xe9, 0xad));
            fill.setColorAt(0.5, gold);
            fill.setColorAt(1, goldDark);
        }
        p.setPen(QPen(lit ? QColor(0xf4, 0xff, 0xff) : QColor(0x4a, 0x30, 0x08), 1.5));
        p.setBrush(fill);
        p.drawRoundedRect(pill, radius, radius);
        // Glass highlight on the upper half.
        QPainterPath gloss;
        gloss.addRoundedRect(pill.adjusted(4, 2, -4, -pill.height() / 2), radius / 2, radius / 2);
        p.fillPath(gloss, QColor(255, 255, 255, lit ? 90 : 70));
        // No words on the face: the game draws each label in the player's language.
    }
    // Solid where at least half covered (blended over the column's colour), pure red elsewhere.
    QImage out(art.size(), QImage::Format_RGB32);
    const QColor under = panelTop.darker(115);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = art.pixel(x, y); // unpremultiplied
            const int a = qAlpha(c);
            if (a < 128) {
                out.setPixel(x, y, qRgb(255, 0, 0));
                continue;
            }
            auto mix = [&](int top, int bottom) { return (top * a + bottom * (255 - a)) / 255; };
            QRgb solid =
                qRgb(mix(qRed(c), under.red()), mix(qGreen(c), under.green()), mix(qBlue(c), under.blue()));
            if (solid == qRgb(255, 0, 0)) solid = qRgb(254, 0, 0);
            out.setPixel(x, y, solid);
        }
    }
    return out;
}

// The default picture: a harbour at sunset, busy enough that every piece can be told apart.
QImage defaultPicture() {
    const int w = 540;
    const int h = 455;
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 260);
    sky.setColorAt(0, QColor(0x23, 0x2a, 0x6b));
    sky.setColorAt(0.45, QColor(0xc4, 0x4f, 0x7a));
    sky.setColorAt(1, QColor(0xff, 0xb3, 0x47));
    p.fillRect(0, 0, w, 260, sky);

    QRandomGenerator random(20021009);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 70; ++i) {
        const qreal x = random.bounded(w);
        const qreal y = random.bounded(110);
        p.setBrush(QColor(255, 255, 240, 80 + random.bounded(150)));
        p.drawEllipse(QPointF(x, y), 1.1, 1.1);
    }
    // Sun with a halo.
    QRadialGradient halo(QPointF(360, 230), 150);
    halo.setColorAt(0, QColor(255, 236, 160, 230));
    halo.setColorAt(0.25, QColor(255, 190, 90, 120));
    halo.setColorAt(1, QColor(255, 160, 80, 0));
    p.setBrush(halo);
    p.drawEllipse(QPointF(360, 230), 150, 150);
    p.setBrush(QColor(0xff, 0xf2, 0xb8));
    p.drawEllipse(QPointF(360, 230), 42, 42);
    // Clouds.
    for (const auto& [cx, cy, s] : {std::tuple{90.0, 70.0, 1.0}, {300.0, 50.0, 0.8}, {470.0, 110.0, 1.2}}) {
        p.setBrush(QColor(255, 210, 220, 120));
        for (int k = 0; k < 5; ++k)
            p.drawEllipse(QPointF(cx + (k - 2) * 22 * s, cy + (k % 2) * 6 * s), 26 * s, 14 * s);
    }
    // Mountains, far and near.
    auto ridge = [&](int base, int amplitude, qreal phase, const QColor& colour) {
        QPainterPath path;
        path.moveTo(0, 260);
        for (int x = 0; x <= w; x += 6) {
            const qreal y =
                base - amplitude * (0.6 * qSin(x / 57.0 + phase) + 0.4 * qSin(x / 23.0 + 2 * phase));
            path.lineTo(x, y);
        }
        path.lineTo(w, 260);
        path.closeSubpath();
        p.fillPath(path, colour);
    };
    ridge(200, 40, 0.3, QColor(0x6b, 0x3f, 0x74));
    ridge(230, 28, 1.7, QColor(0x47, 0x2b, 0x58));
    // Sea with the sun's reflection.
    QLinearGradient sea(0, 260, 0, h);
    sea.setColorAt(0, QColor(0xe0, 0x7a, 0x5a));
    sea.setColorAt(0.3, QColor(0x2c, 0x4f, 0x86));
    sea.setColorAt(1, QColor(0x0d, 0x1c, 0x3d));
    p.fillRect(0, 260, w, h - 260, sea);
    for (int y = 264; y < h; y += 7) {
        const qreal spread = 8 + (y - 260) * 0.45;
        p.setBrush(QColor(255, 220, 150, qMax(20, 200 - (y - 260))));
        p.drawRoundedRect(QRectF(360 - spread + random.bounded(10), y, spread * 2 - random.bounded(20), 2.5),
                          1, 1);
    }
    for (int i = 0; i < 90; ++i) {
        p.setBrush(QColor(200, 220, 255, 50));
        p.drawRect(QRectF(random.bounded(w), 270 + random.bounded(h - 270), 6 + random.bounded(18), 1.5));
    }
    // Lighthouse on a rock at the left.
    QPainterPath rock;
    rock.moveTo(0, 330);
    rock.cubicTo(40, 290, 110, 290, 170, 340);
    rock.lineTo(180, h);
    rock.lineTo(0, h);
    rock.closeSubpath();
    p.fillPath(rock, QColor(0x22, 0x1a, 0x2c));
    QPolygonF tower({QPointF(70, 300), QPointF(100, 300), QPointF(94, 170), QPointF(76, 170)});
    p.setBrush(QColor(0xf4, 0xf0, 0xe8));
    p.drawPolygon(tower);
    p.setBrush(QColor(0xd0, 0x3a, 0x3a));
    for (int band = 0; band < 3; ++band) {
        const qreal top = 185 + band * 38;
        const qreal inset = (300 - top) / 130 * 3;
        p.drawRect(QRectF(77 - inset + 3, top, 16 + 2 * inset - 6, 16));
    }
    p.setBrush(QColor(0x30, 0x30, 0x38));
    p.drawRect(QRectF(72, 160, 26, 12));
    p.setBrush(QColor(0xff, 0xf0, 0x90));
    p.drawRect(QRectF(77, 146, 16, 14));
    QPainterPath beam;
    beam.moveTo(93, 150);
    beam.lineTo(300, 120);
    beam.lineTo(300, 170);
    beam.closeSubpath();
    QLinearGradient beamFade(93, 150, 300, 145);
    beamFade.setColorAt(0, QColor(255, 250, 200, 110));
    beamFade.setColorAt(1, QColor(255, 250, 200, 0));
    p.fillPath(beam, beamFade);
    p.setBrush(QColor(0x30, 0x30, 0x38));
    p.drawPolygon(QPolygonF({QPointF(70, 146), QPointF(100, 146), QPointF(85, 132)}));
    // Sailing boat.
    QPainterPath hull;
    hull.moveTo(250, 352);
    hull.lineTo(350, 352);
    hull.lineTo(334, 370);
    hull.lineTo(262, 370);
    hull.closeSubpath();
    p.fillPath(hull, QColor(0x5a, 0x2d, 0x14));
    p.setPen(QPen(QColor(0x3a, 0x1d, 0x0c), 3));
    p.drawLine(QPointF(300, 352), QPointF(300, 262));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xfa, 0xf4, 0xe0));
    p.drawPolygon(QPolygonF({QPointF(304, 266), QPointF(304, 346), QPointF(350, 346)}));
    p.setBrush(QColor(0x3f, 0x8f, 0xc9));
    p.drawPolygon(QPolygonF({QPointF(296, 274), QPointF(296, 346), QPointF(258, 346)}));
    // Gulls.
    p.setPen(QPen(QColor(0x20, 0x20, 0x30), 2));
    p.setBrush(Qt::NoBrush);
    for (QPointF gull : {QPointF(200, 120), QPointF(235, 100), QPointF(430, 160)}) {
        QPainterPath wing;
        wing.moveTo(gull + QPointF(-10, 0));
        wing.quadTo(gull + QPointF(-5, -7), gull);
        wing.quadTo(gull + QPointF(5, -7), gull + QPointF(10, 0));
        p.drawPath(wing);
    }
    // Jetty with posts at the bottom right.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4a, 0x32, 0x22));
    p.drawRect(QRectF(380, 400, 160, 12));
    for (int x = 390; x < 540; x += 30)
        p.drawRect(QRectF(x, 400, 7, 55));
    p.setBrush(QColor(0xff, 0xc8, 0x60));
    p.drawEllipse(QPointF(505, 388), 7, 9);
    return image;
}

// The program icon: a 3 x 3 board with the last tile missing and its slot framed.
QImage icon() {
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(gold, 2));
    p.setBrush(bodyBottom);
    p.drawRoundedRect(QRectF(1, 1, 62, 62), 10, 10);
    const QColor tiles[] = {QColor(0xff, 0xb3, 0x47), QColor(0xc4, 0x4f, 0x7a), QColor(0x3f, 0x8f, 0xc9),
                            QColor(0x6b, 0x3f, 0x74), QColor(0xff, 0xf2, 0xb8), QColor(0x2c, 0x4f, 0x86),
                            QColor(0xe0, 0x7a, 0x5a), QColor(0xd0, 0x3a, 0x3a)};
    for (int i = 0; i < 8; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(tiles[i]);
        p.drawRoundedRect(QRectF(8 + (i % 3) * 16.5, 8 + (i / 3) * 16.5, 15, 15), 3, 3);
    }
    p.setPen(QPen(cyan, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(8 + 2 * 16.5, 8 + 2 * 16.5, 15, 15), 3, 3);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tilex-artwork <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.filePath(QStringLiteral("skin")))) return 1;
    bool ok = true;
    // The skin at its own size and at twice it ("@2x"), drawn from the same shapes.
    for (const qreal factor : {1.0, 2.0}) {
        const QString suffix = factor == 1.0 ? QString() : QStringLiteral("@2x");
        auto skin = [&](int id) { return out.filePath(QStringLiteral("skin/%1%2.bmp").arg(id).arg(suffix)); };
        ok = save(background(factor), skin(129)) && ok;
        const auto [framePicture, frameMask] = frame(factor);
        ok = save(framePicture, skin(131)) && ok;
        ok = save(frameMask, skin(132)) && ok;
        ok = save(clockFace(factor), skin(133)) && ok;
        const ButtonFace faces[] = {
            {134, QStringLiteral("Start"), {124, 32}},   {136, QStringLiteral("Change"), {124, 32}},
            {139, QStringLiteral("Preview"), {106, 30}}, {141, QStringLiteral("Level"), {102, 32}},
            {144, QStringLiteral("Load"), {132, 32}},    {146, QStringLiteral("Save"), {124, 30}},
            {148, QStringLiteral("Music"), {106, 30}},   {150, QStringLiteral("Top 5"), {86, 28}},
            {152, QStringLiteral("Scan"), {66, 28}},     {154, QStringLiteral("Close"), {72, 28}},
        };
        for (const ButtonFace& face : faces) {
            ok = save(buttonFace(face, false, factor), skin(face.normalId)) && ok;
            ok = save(buttonFace(face, true, factor), skin(face.normalId + 1)) && ok;
        }
    }
    ok = save(defaultPicture(), out.filePath(QStringLiteral("default.bmp"))) && ok;
    ok = icon().save(out.filePath(QStringLiteral("skin/icon.png")), "PNG") && ok;

    QFile records(out.filePath(QStringLiteral("Tilex.ini")));
    const std::vector<uint8_t> cleared = tilex::clearedRecordsFile();
    ok = records.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         records.write(reinterpret_cast<const char*>(cleared.data()), static_cast<qint64>(cleared.size())) ==
             static_cast<qint64>(cleared.size()) &&
         ok;
    return ok ? 0 : 1;
}
