// A button drawn from bitmaps and shaped like its normal face: pressed, focused and disabled
// faces are optional; pointing at the button gives it the focus, so the focused face lights up.
#pragma once

#include "shape_runs.h"

#include <QAbstractButton>
#include <QIcon>
#include <QImage>
#include <optional>

namespace tilex {

class CRGNButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit CRGNButton(QWidget* parent = nullptr);

    void SetTransparentRange(Rgb low, Rgb high);
    // Faces from the program folder's skin by resource id; 0 means none. Fails when the normal
    // face or a named optional one cannot be loaded.
    bool SetBitmaps(const QString& programDir, int normal, int pressed, int focused, int disabled,
                    bool drawCaption);
    bool SetFaces(const QImage& normal, const QImage& pressed, const QImage& focused, const QImage& disabled,
                  bool drawCaption);
    // x, y in the skin's pixels: the button sits there times the window's scale.
    void SetPosition(int x, int y);
    // The window's size factor (1, 1.5, 2): the button, its shape and its face grow with it;
    // faces are drawn without blending, text at the screen's resolution.
    void SetScale(qreal scale);
    void SetIcon(const QIcon& icon) { icon_ = icon; }
    // The words drawn on the face when the caption is drawn; empty draws the caption itself.
    // Kept apart from the caption, whose mnemonic stays the button's Alt key.
    void SetLabel(const QString& label);
    const QString& label() const { return label_; }

    bool hovering() const { return hovering_; }
    // The face the button shows in its present state.
    const QImage& currentFace() const;
    int normalId() const { return normalId_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

  private:
    QSize scaledSize(QSize skinSize) const;
    void applyShape();
    std::optional<std::pair<Rgb, Rgb>> transparent_;
    QImage normal_, pressed_, focused_, disabled_;
    // The faces at twice the resolution, where the skin has them (all or none).
    QImage normal2x_, pressed2x_, focused2x_, disabled2x_;
    QIcon icon_;
    QString label_;
    QPoint skinPosition_;
    qreal scale_ = 1;
    int normalId_ = 0;
    bool drawCaption_ = false;
    bool pressedState_ = false;
    bool hovering_ = false;
};

} // namespace tilex
