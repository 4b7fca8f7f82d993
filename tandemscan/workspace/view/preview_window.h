// The full-screen preview of the joined image with its information line; any key or left click
// closes it.
#pragma once

#include "engine/image_record.h"

#include <QDialog>
#include <QImage>
#include <QString>

namespace tandemscan {

class PreviewWindow : public QDialog {
    Q_OBJECT
  public:
    PreviewWindow(const ImageRecord& joined, double workScale, const QString& information,
                  QWidget* parent = nullptr);

    const QString& information() const { return information_; }
    // Where the image lands for the current window size.
    QRect imageRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QImage image_;
    QString information_;
};

} // namespace tandemscan
