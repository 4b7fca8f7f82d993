// The open dialog for a part: the file chooser with a preview panel beside it that shows a
// thumbnail and the image's size, depth, type and resolution, flagging what cannot be loaded.
#pragma once

#include "picture_info.h"

#include <QFileDialog>
#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>

class CMutiLang;
class QCheckBox;
class QLabel;

namespace tandemscan {

// What the preview panel needs of an image file.
struct PreviewPicture {
    PictureFacts facts;
    QImage image; // null when only the header was read
};
// Reads a file's header, and its pixels too when withPixels; nullopt when it cannot be read.
using PictureReader = std::function<std::optional<PreviewPicture>(const QString& path, bool withPixels)>;

// Draws the thumbnail fitted into its area.
class ThumbnailView : public QWidget {
  public:
    explicit ThumbnailView(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return image_; }
    // Where the image lands in the current size.
    Rect imageRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage image_;
};

class CPicShowDlg : public QFileDialog {
    Q_OBJECT
  public:
    CPicShowDlg(QWidget* parent, CMutiLang* language, PictureReader reader);
    ~CPicShowDlg() override;

    // The "Show Preview" choice, kept for the life of the process.
    static bool showPreview();
    static void setShowPreview(bool on);

    // The file chosen with OK.
    QString chosenPath() const;

    // The panel's parts, for the window's own tests.
    QCheckBox* previewBox() const { return previewBox_; }
    ThumbnailView* thumbnail() const { return thumbnail_; }
    QLabel* sizeLine() const { return lines_[0]; }
    QLabel* depthLine() const { return lines_[1]; }
    QLabel* typeLine() const { return lines_[2]; }
    QLabel* resolutionLine() const { return lines_[3]; }
    QLabel* warningLine() const { return lines_[4]; }

    // The selection moved to path: read it and show what it is.
    void showFile(const QString& path);

  public slots:
    void accept() override;

  private:
    void previewToggled(bool on);
    QString translate(const char* text) const;

    CMutiLang* language_;
    PictureReader reader_;
    QCheckBox* previewBox_ = nullptr;
    ThumbnailView* thumbnail_ = nullptr;
    QLabel* lines_[5] = {};
    QString current_;
};

// The filter of the part dialog: name, then patterns, pairs separated by "|".
inline constexpr const char* partFileFilter =
    "Supported Files(*.bmp,*.jpg,*.jpeg,*.png,*.tif,*.tiff)|*.bmp;*.jpg;*.jpeg;*.png;*.tif;*.tiff|"
    "Bitmap (*.bmp)|*.bmp|Jpeg (*.jpg,*.jpeg)|*.jpg;*.jpeg|PNG (*.png)|*.png|TIFF "
    "(*.tif,*.tiff)|*.tif;*.tiff||";
// Qt name filters for a "name|patterns|..." filter, matching the extensions in any case; each
// name passes through translateName.
QStringList nameFiltersFromPairs(const QString& pairs,
                                 const std::function<QString(const QString&)>& translateName = {});

} // namespace tandemscan
