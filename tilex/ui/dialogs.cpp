#include "dialogs.h"

#include "board.h"
#include "prompts.h"
#include "translate_window.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tilex {

namespace {

QHBoxLayout* okCancelRow(QDialog* dialog, const QString& ok = QStringLiteral("&OK"),
                         const QString& cancel = QStringLiteral("&Cancel")) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* okButton = new QPushButton(ok, dialog);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    QObject::connect(okButton, &QPushButton::clicked, dialog, &QDialog::accept);
    row->addWidget(okButton);
    if (!cancel.isEmpty()) {
        auto* cancelButton = new QPushButton(cancel, dialog);
        cancelButton->setObjectName(QStringLiteral("cancelButton"));
        QObject::connect(cancelButton, &QPushButton::clicked, dialog, &QDialog::reject);
        row->addWidget(cancelButton);
    }
    return row;
}

} // namespace

LevelDialog::LevelDialog(int rows, int cols, QWidget* parent) : QDialog(parent), rows_(rows), cols_(cols) {
    setWindowTitle(QStringLiteral("Select Level"));
    low_ = new QRadioButton(QStringLiteral("&Low level ( 3 X 3 )"), this);
    normal_ = new QRadioButton(QStringLiteral("&Normal level ( 5 X 5 )"), this);
    high_ = new QRadioButton(QStringLiteral("&High level ( 7 X 7 )"), this);
    custom_ = new QRadioButton(QStringLiteral("&Custom level"), this);
    low_->setObjectName(QStringLiteral("lowLevel"));
    normal_->setObjectName(QStringLiteral("normalLevel"));
    high_->setObjectName(QStringLiteral("highLevel"));
    custom_->setObjectName(QStringLiteral("customLevel"));
    customFrame_ = new QGroupBox(this);
    rowEdit_ = new QLineEdit(QString::number(rows), customFrame_);
    colEdit_ = new QLineEdit(QString::number(cols), customFrame_);
    rowEdit_->setObjectName(QStringLiteral("rowEdit"));
    colEdit_->setObjectName(QStringLiteral("colEdit"));
    for (QLineEdit* edit : {rowEdit_, colEdit_}) {
        edit->setMaxLength(2);
        edit->setValidator(new QIntValidator(0, 99, edit));
        edit->setFixedWidth(48);
    }
    auto* rowLabel = new QLabel(QStringLiteral("&Row ( 3--10 )"), customFrame_);
    auto* colLabel = new QLabel(QStringLiteral("&Col ( 3--10 )"), customFrame_);
    rowLabel->setBuddy(rowEdit_);
    colLabel->setBuddy(colEdit_);
    auto* grid = new QGridLayout(customFrame_);
    grid->addWidget(rowLabel, 0, 0);
    grid->addWidget(rowEdit_, 0, 1);
    grid->addWidget(colLabel, 1, 0);
    grid->addWidget(colEdit_, 1, 1);

    auto* layout = new QVBoxLayout(this);
    for (QRadioButton* button : {low_, normal_, high_, custom_})
        layout->addWidget(button);
    layout->addWidget(customFrame_);
    layout->addLayout(okCancelRow(this));

    if (rows == 3 && cols == 3)
        low_->setChecked(true);
    else if (rows == 5 && cols == 5)
        normal_->setChecked(true);
    else if (rows == 7 && cols == 7)
        high_->setChecked(true);
    else
        custom_->setChecked(true);
    showCustom(custom_->isChecked());
    connect(custom_, &QRadioButton::toggled, this, &LevelDialog::showCustom);
    TranslateWindow(this, "SelectLevel");
}

void LevelDialog::showCustom(bool on) {
    customFrame_->setVisible(on);
    adjustSize();
}

void LevelDialog::accept() {
    if (low_->isChecked()) {
        rows_ = cols_ = 3;
    } else if (normal_->isChecked()) {
        rows_ = cols_ = 5;
    } else if (high_->isChecked()) {
        rows_ = cols_ = 7;
    } else {
        for (QLineEdit* edit : {rowEdit_, colEdit_}) {
            bool number = false;
            const int value = edit->text().toInt(&number);
            if (!number || value < Board::minSide || value > Board::maxSide) {
                messageBox(this, tx("Please enter an integer between 3 and 10.", "SelectLevel"),
                           windowTitle(), MessageIcon::Information)
                    ->exec();
                edit->setFocus();
                edit->selectAll();
                return;
            }
        }
        rows_ = rowEdit_->text().toInt();
        cols_ = colEdit_->text().toInt();
    }
    QDialog::accept();
}

NameDialog::NameDialog(const QString& defaultName, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Enter Your Name"));
    edit_ = new QLineEdit(defaultName, this);
    edit_->setObjectName(QStringLiteral("nameEdit"));
    edit_->selectAll();
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("Your name:"), this);
    label->setBuddy(edit_);
    layout->addWidget(label);
    layout->addWidget(edit_);
    layout->addLayout(okCancelRow(this));
    // The table keeps 14 bytes of a name.
    connect(edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        const std::string fitted = fitName(text.toStdString());
        if (fitted.size() != text.toStdString().size()) edit_->setText(QString::fromStdString(fitted));
    });
    TranslateWindow(this, "EnterName");
}

QString NameDialog::name() const {
    return edit_->text().trimmed();
}

RecordDialog::RecordDialog(std::string recordsPath, int rows, int cols, const RecordTable& table,
                           QWidget* parent)
    : QDialog(parent), path_(std::move(recordsPath)), rows_(rows), cols_(cols), table_(table) {
    setWindowTitle(QStringLiteral("Record"));
    setFixedSize(440, 262);
    QFont small = font();
    small.setPixelSize(12);
    setFont(small);
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    auto* clear = new QPushButton(QStringLiteral("&Clear"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    clear->setObjectName(QStringLiteral("clearButton"));
    ok->setGeometry(250, 222, 80, 28);
    clear->setGeometry(345, 222, 80, 28);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(clear, &QPushButton::clicked, this, &RecordDialog::clearTable);
    TranslateWindow(this, "RecordDlg");
}

void RecordDialog::setNote(const QString& note) {
    note_ = note;
    update();
}

void RecordDialog::clearTable() {
    if (!clearRecordBlock(path_, rows_, cols_)) return;
    table_ = clearedTable();
    update();
}

void RecordDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(10, 10, 420, 24), Qt::AlignLeft | Qt::AlignTop,
               tx("Top-5 in the ", "RecordDlg") + QStringLiteral("%1 X %2").arg(rows_).arg(cols_) +
                   tx(" level", "RecordDlg"));
    const int centred = Qt::AlignCenter | Qt::TextSingleLine;
    auto cell = [&](int left, int top, int right, int bottom, const QString& text) {
        p.drawText(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), centred, text);
    };
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    cell(40, 50, 160, 70, tx("Name", "RecordDlg"));
    cell(180, 50, 230, 70, tx("Time", "RecordDlg"));
    cell(250, 50, 330, 70, tx("Image size", "RecordDlg"));
    cell(350, 50, 420, 70, tx("Date", "RecordDlg"));
    p.setFont(font());
    for (int i = 1; i <= 5; ++i) {
        const RecordEntry& e = table_[static_cast<size_t>(i - 1)];
        const int bottom = 100 + 30 * (i - 1);
        const int top = bottom - 20;
        cell(10, top, 30, bottom, QString::number(i));
        cell(40, top, 160, bottom, QString::fromStdString(e.name));
        cell(178, top, 232, bottom, QString::fromStdString(clockText(e.time)));
        cell(250, top, 330, bottom, QStringLiteral("%1X%2").arg(e.width).arg(e.height));
        cell(350, top, 420, bottom, QStringLiteral("%1/%2/%3").arg(e.year).arg(e.month).arg(e.day));
    }
    if (!note_.isEmpty()) p.drawText(QRect(10, 222, 232, 28), Qt::AlignLeft | Qt::AlignVCenter, note_);
}

ScannerDialog::ScannerDialog(const QStringList& names, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select TWAIN Scanner"));
    sources_ = new QComboBox(this);
    sources_->setObjectName(QStringLiteral("scannerList"));
    sources_->addItems(names);
    sources_->setCurrentIndex(0);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("Scanner:"), this);
    label->setBuddy(sources_);
    layout->addWidget(label);
    layout->addWidget(sources_);
    layout->addLayout(okCancelRow(this));
    setMinimumWidth(300);
    TranslateWindow(this, "SelectScan");
}

int ScannerDialog::chosen() const {
    return sources_->currentIndex();
}

PreviewWindow::PreviewWindow(QSize clientSize, QWidget* parent) : QWidget(parent, Qt::Tool) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tx("Preview", "Main"));
    setFixedSize(clientSize);
    setCursor(Qt::OpenHandCursor);
}

void PreviewWindow::setImage(const QImage& image) {
    image_ = image;
    update();
}

void PreviewWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!image_.isNull()) p.drawImage(rect(), image_);
}

void PreviewWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    grab_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void PreviewWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) move(event->globalPosition().toPoint() - grab_);
}

void PreviewWindow::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
}

} // namespace tilex
