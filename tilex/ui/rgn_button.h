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
    void SetPosition(int x, int y);
    void SetIcon(const QIcon& icon) { icon_ = icon; }

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
    std::optional<std::pair<Rgb, Rgb>> transparent_;
    QImage normal_, pressed_, focused_, disabled_;
    QIcon icon_;
    int normalId_ = 0;
    bool drawCaption_ = false;
    bool pressedState_ = false;
    bool hovering_ = false;
};

} // namespace tilex
