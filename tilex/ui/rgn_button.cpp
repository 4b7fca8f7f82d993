#include "rgn_button.h"

#include "skin.h"

#include <QMouseEvent>
#include <QPainter>

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
    return SetFaces(faces[0], faces[1], faces[2], faces[3], drawCaption);
}

bool CRGNButton::SetFaces(const QImage& normal, const QImage& pressed, const QImage& focused,
                          const QImage& disabled, bool drawCaption) {
    if (normal.isNull()) return false;
    normal_ = normal;
    pressed_ = pressed;
    focused_ = focused;
    disabled_ = disabled;
    drawCaption_ = drawCaption;
    if (transparent_) {
        if (const auto shape = regionFromBitmap(normal_, transparent_->first, transparent_->second))
            setMask(*shape);
    }
    resize(normal_.size());
    update();
    return true;
}

void CRGNButton::SetPosition(int x, int y) {
    setGeometry(x, y, normal_.width(), normal_.height());
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
    if (face.size() != size()) resize(face.size());
    p.drawImage(0, 0, face);
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
    const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    p.setPen(Qt::white);
    p.drawText(isEnabled() ? textRect.translated(-1, -1) : textRect.translated(1, 1), flags, text());
    p.setPen(isEnabled() ? QColor(Qt::black) : QColor(182, 182, 182));
    p.drawText(textRect, flags, text());
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
