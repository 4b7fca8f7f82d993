#include "rgn_button.h"

#include "skin.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace tilex {

CRGNButton::CRGNButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

void CRGNButton::SetTransparentRange(Rgb low, Rgb high) {
    transparent_ = std::make_pair(low, high);
}

bool CRGNButton::SetBitmaps(const QString& programDir, int normal, int pressed, int focused, int disabled,
                            bool drawCaption) {
    auto load = [&](int id) { return id == 0 ? QImage() : loadSkinBitmap(programDir, id); };
    const QImage faces[] = {load(normal), load(pressed), load(focused), load(disabled)};
    const int ids[] = {normal, pressed, focused, disabled};
    for (int i = 0; i < 4; ++i)
        if ((i == 0 || ids[i] != 0) && faces[i].isNull()) return false;
    normalId_ = normal;
    if (!SetFaces(faces[0], faces[1], faces[2], faces[3], drawCaption)) return false;
    auto loadDouble = [&](int id) { return id == 0 ? QImage() : loadSkinBitmap(programDir, id, true); };
    QImage doubled[] = {loadDouble(normal), loadDouble(pressed), loadDouble(focused), loadDouble(disabled)};
    bool complete = true;
    for (int i = 0; i < 4; ++i)
        complete = complete && doubled[i].size() == faces[i].size() * 2;
    if (!complete) return true;
    // The transparent colour becomes real transparency, so a face shrunk with blending gets no
    // coloured fringe.
    for (QImage& face : doubled) {
        if (face.isNull() || !transparent_) continue;
        face = face.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < face.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(face.scanLine(y));
            for (int x = 0; x < face.width(); ++x)
                if (isTransparent(Rgb{static_cast<uint8_t>(qRed(row[x])),
                                      static_cast<uint8_t>(qGreen(row[x])),
                                      static_cast<uint8_t>(qBlue(row[x]))},
                                  transparent_->first, transparent_->second))
                    row[x] = 0;
        }
    }
    normal2x_ = doubled[0];
    pressed2x_ = doubled[1];
    focused2x_ = doubled[2];
    disabled2x_ = doubled[3];
    applyShape();
    return true;
}

bool CRGNButton::SetFaces(const QImage& normal, const QImage& pressed, const QImage& focused,
                          const QImage& disabled, bool drawCaption) {
    if (normal.isNull()) return false;
    normal_ = normal;
    normal2x_ = pressed2x_ = focused2x_ = disabled2x_ = QImage();
    pressed_ = pressed;
    focused_ = focused;
    disabled_ = disabled;
    drawCaption_ = drawCaption;
    applyShape();
    update();
    return true;
}

QSize CRGNButton::scaledSize(QSize skinSize) const {
    return QSize(qRound(skinSize.width() * scale_), qRound(skinSize.height() * scale_));
}

void CRGNButton::applyShape() {
    resize(scaledSize(normal_.size()));
    if (!transparent_) return;
    // Larger than the skin, the shape follows the double face, which is what is drawn there.
    if (scale_ > 1 && !normal2x_.isNull()) {
        const QImage shapeSource =
            (scale_ == 2 ? normal2x_
                         : normal2x_.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation))
                .convertToFormat(QImage::Format_ARGB32);
        // Transparent pixels of the double face read as black here; black is not on any face.
        if (const auto shape = regionFromBitmap(shapeSource, Rgb{0, 0, 0}, Rgb{0, 0, 0})) setMask(*shape);
        return;
    }
    const QImage shapeSource =
        scale_ == 1 ? normal_ : normal_.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (const auto shape = regionFromBitmap(shapeSource, transparent_->first, transparent_->second))
        setMask(*shape);
}

void CRGNButton::SetPosition(int x, int y) {
    skinPosition_ = QPoint(x, y);
    setGeometry(QRect(QPoint(qRound(x * scale_), qRound(y * scale_)), scaledSize(normal_.size())));
}

void CRGNButton::SetScale(qreal scale) {
    if (scale <= 0 || scale == scale_) return;
    scale_ = scale;
    if (normal_.isNull()) return;
    applyShape();
    SetPosition(skinPosition_.x(), skinPosition_.y());
    update();
}

QSize CRGNButton::sizeHint() const {
    return normal_.isNull() ? QSize(80, 24) : normal_.size();
}

const QImage& CRGNButton::currentFace() const {
    if (isDown() && !pressed_.isNull()) return pressed_;
    if (hasFocus() && !focused_.isNull()) return focused_;
    if (!isEnabled() && !disabled_.isNull()) return disabled_;
    return normal_;
}

bool CRGNButton::hitButton(const QPoint& pos) const {
    return mask().isEmpty() ? rect().contains(pos) : mask().contains(pos);
}

void CRGNButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!mask().isEmpty()) p.setClipRegion(mask());
    const QImage& face = currentFace();
    if (scaledSize(face.size()) != size()) resize(scaledSize(face.size()));
    const QImage* doubled = &face == &pressed_    ? &pressed2x_
                            : &face == &focused_  ? &focused2x_
                            : &face == &disabled_ ? &disabled2x_
                                                  : &normal2x_;
    p.save();
    p.scale(width() / qreal(face.width()), height() / qreal(face.height()));
    drawSkinImage(p, QRectF(QPointF(0, 0), QSizeF(face.size())), SkinImage{face, *doubled});
    p.restore();
    // Without a disabled face a disabled button is shown dimmed, so its state can be seen.
    if (!isEnabled() && disabled_.isNull()) p.fillRect(rect(), QColor(20, 24, 40, 130));
    const bool down = isDown();
    if (!icon_.isNull()) {
        const QRect area =
            QRect(QPoint(0, 0), QSize(32, 32)).translated((width() - 32) / 2, (height() - 32) / 2);
        icon_.paint(&p, down ? area.translated(1, 1) : area);
        return;
    }
    if (!drawCaption_) return;
    QRect textRect = rect();
    if (down) textRect.translate(1, 1);
    const QString caption = label_.isEmpty() ? text() : label_;
    const int flags = Qt::AlignCenter | Qt::TextSingleLine |
                      (label_.isEmpty() ? Qt::TextShowMnemonic : Qt::TextHideMnemonic);
    // A translated label may be longer than the English one the face was made for: the font
    // shrinks until it fits.
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(qRound(std::max(9, std::min(14, normal_.height() - 14)) * scale_));
    while (font.pixelSize() > 9 && QFontMetrics(font).horizontalAdvance(caption) > width() - 14 * scale_)
        font.setPixelSize(font.pixelSize() - 1);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(isEnabled() ? textRect.translated(-1, -1) : textRect.translated(1, 1), flags, caption);
    p.setPen(isEnabled() ? QColor(Qt::black) : QColor(182, 182, 182));
    p.drawText(textRect, flags, caption);
}

void CRGNButton::SetLabel(const QString& label) {
    label_ = label;
    update();
}

void CRGNButton::mousePressEvent(QMouseEvent* event) {
    pressedState_ = true;
    QAbstractButton::mousePressEvent(event);
}

void CRGNButton::mouseReleaseEvent(QMouseEvent* event) {
    pressedState_ = false;
    hovering_ = false;
    QAbstractButton::mouseReleaseEvent(event);
}

void CRGNButton::enterEvent(QEnterEvent* event) {
    // The widget's mask already keeps the pointer outside the shape from entering.
    if (window()->isActiveWindow() && !pressedState_ && isEnabled()) {
        if (!hovering_) setFocus(Qt::MouseFocusReason);
        hovering_ = true;
        update();
    }
    QAbstractButton::enterEvent(event);
}

void CRGNButton::leaveEvent(QEvent* event) {
    hovering_ = false;
    QAbstractButton::leaveEvent(event);
}

} // namespace tilex
