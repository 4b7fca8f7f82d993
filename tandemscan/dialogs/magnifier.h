// The magnifying glass: a small square tool window beside the main window that shows an enlarged
// part of the workspace snapshot around the pointer. A right click opens its properties; its
// place, size and zoom are kept in tsMagf.ini.
#pragma once

#include "dialog_context.h"
#include "magnifier_geometry.h"

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QWidget>

class QButtonGroup;

namespace tandemscan {

struct MagnifierSettings {
    Rect rect{100, 100, 100, 100};
    int zoom = 20;
    int size = 100;
    bool useDefaultPosition = false; // set when no settings file was found

    // Reads [magf window]; a missing file asks for the default position.
    static MagnifierSettings load(const QString& path);
    bool save(const QString& path) const;
};

class MagnifierWindow : public QWidget {
    Q_OBJECT
  public:
    MagnifierWindow(const QString& settingsPath, const DialogContext& context, QWidget* mainWindow);

    // Places the window (beside the main window or where it was last) and shows it.
    void open(bool firstRun);
    // Stores place, size and zoom and hides the window.
    void closeAndSave();

    // The snapshot and the pointer's place in it; a null image shows the plain background.
    void setSource(const QImage& snapshot, QPoint point);
    const MagnifierSettings& settings() const { return settings_; }
    // Size and zoom as the property sheet chose them; resizes and repaints.
    void applyChoice(int size, int zoom);

  signals:
    void propertiesRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void showProperties();

    QString settingsPath_;
    DialogContext context_;
    QWidget* mainWindow_;
    MagnifierSettings settings_;
    QImage source_;
    QPoint point_;
};

// "Magnifying Glass Properties": the Size and Zoom pages, OK and Cancel, no Apply.
class MagnifierProperties : public QDialog {
    Q_OBJECT
  public:
    MagnifierProperties(int size, int zoom, const DialogContext& context, QWidget* parent = nullptr);
    int size() const;
    int zoom() const;
    QButtonGroup* sizeChoices() const { return sizes_; }
    QButtonGroup* zoomChoices() const { return zooms_; }

  private:
    QButtonGroup* sizes_;
    QButtonGroup* zooms_;
};

} // namespace tandemscan
