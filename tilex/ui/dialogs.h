// The game's dialogs: level choice, the player's name, the best-times table, the scanner source
// and the picture preview.
#pragma once

#include "records.h"

#include <QDialog>
#include <QImage>
#include <QWidget>

class QLineEdit;
class QRadioButton;
class QComboBox;
class QLabel;
class QGroupBox;

namespace tilex {

class LevelDialog : public QDialog {
    Q_OBJECT
  public:
    LevelDialog(int rows, int cols, QWidget* parent = nullptr);
    int rows() const { return rows_; }
    int cols() const { return cols_; }
    void accept() override;

  private:
    void showCustom(bool on);
    QRadioButton* low_;
    QRadioButton* normal_;
    QRadioButton* high_;
    QRadioButton* custom_;
    QGroupBox* customFrame_;
    QLineEdit* rowEdit_;
    QLineEdit* colEdit_;
    int rows_;
    int cols_;
};

class NameDialog : public QDialog {
    Q_OBJECT
  public:
    NameDialog(const QString& defaultName, QWidget* parent = nullptr);
    QString name() const;

  private:
    QLineEdit* edit_;
};

// Draws the five best times of one board size; Clear rewrites that block with the defaults.
class RecordDialog : public QDialog {
    Q_OBJECT
  public:
    RecordDialog(std::string recordsPath, int rows, int cols, const RecordTable& table,
                 QWidget* parent = nullptr);
    const RecordTable& table() const { return table_; }
    void clearTable();
    // A line under the table about the game just finished; the file keeps no moves.
    void setNote(const QString& note);
    const QString& note() const { return note_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::string path_;
    int rows_;
    int cols_;
    RecordTable table_;
    QString note_;
};

class ScannerDialog : public QDialog {
    Q_OBJECT
  public:
    ScannerDialog(const QStringList& names, QWidget* parent = nullptr);
    int chosen() const;

  private:
    QComboBox* sources_;
};

// A modeless window with the whole picture, dragged by any point of it.
class PreviewWindow : public QWidget {
    Q_OBJECT
  public:
    PreviewWindow(QSize clientSize, QWidget* parent = nullptr);
    void setImage(const QImage& image);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QImage image_;
    QPoint grab_;
    bool dragging_ = false;
};

} // namespace tilex
