#include "adjustment_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace tandemscan {

namespace {

constexpr int kTrackLeft = 20;
constexpr int kTrackTop = 8;
constexpr int kRanges[3][2] = {{-127, 127}, {-127, 127}, {-100, 100}};

} // namespace

AdjustmentSlider::AdjustmentSlider(int minimum, int maximum, bool saturation, QWidget* parent)
    : QWidget(parent), minimum_(minimum), maximum_(maximum), saturation_(saturation) {
    setMinimumWidth(200);
    setFixedHeight(44);
}

QRect AdjustmentSlider::track() const {
    return {kTrackLeft, kTrackTop, width() - 2 * kTrackLeft, 2};
}

QRect AdjustmentSlider::hitRect() const {
    const QRect t = track();
    return QRect(QPoint(t.left() - 5, t.top()), QPoint(t.right() + 5, t.bottom() + 12));
}

void AdjustmentSlider::setValue(int value) {
    value_ = std::clamp(value, minimum_, maximum_);
    update();
}

void AdjustmentSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect t = track();
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(t.left(), t.top(), t.right(), t.top());
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(t.left(), t.top() + 1, t.right(), t.top() + 1);
    painter.setPen(palette().color(QPalette::WindowText));
    for (int x : {t.left(), t.left() + t.width() / 2, t.right()})
        painter.drawLine(x, t.top() - 4, x, t.top() - 1);
    const QString low = QString::number(minimum_), high = QString::number(maximum_);
    const QFontMetrics metrics(font());
    const int labelY = t.top() + 14 + metrics.ascent();
    painter.drawText(t.left() - metrics.horizontalAdvance(low) / 2, labelY, low);
    painter.drawText(t.right() - metrics.horizontalAdvance(high) / 2, labelY, high);

    const int tip = AdjustmentSliders::thumbX(t.left(), t.width(), value_, minimum_, maximum_);
    QPainterPath thumb;
    thumb.moveTo(tip, t.top() + 1);
    thumb.lineTo(tip - 5, t.top() + 6);
    thumb.lineTo(tip + 5, t.top() + 6);
    thumb.closeSubpath();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(QColor(192, 192, 192));
    painter.drawPath(thumb);
}

void AdjustmentSlider::pick(int x) {
    const QRect hit = hitRect();
    const int v = AdjustmentSliders::valueAt(x, hit.left(), hit.right() + 1);
    emit valuePicked(saturation_ ? AdjustmentSliders::saturationFrom(v) : v);
}

void AdjustmentSlider::mousePressEvent(QMouseEvent* event) {
    if (!mouseEnabled_ || event->button() != Qt::LeftButton ||
        !hitRect().contains(event->position().toPoint()))
        return;
    dragging_ = true;
    setCursor(Qt::ArrowCursor);
    grabMouse();
    pick(event->position().toPoint().x());
}

void AdjustmentSlider::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) pick(event->position().toPoint().x());
}

void AdjustmentSlider::mouseReleaseEvent(QMouseEvent*) {
    if (!dragging_) return;
    dragging_ = false;
    releaseMouse();
}

QString ImageAdjustmentDialog::refusal(const ImageHeader& header) {
    return header.bitCount == 1 ? QStringLiteral("Image adjust can't support monochroic image!") : QString();
}

ImageAdjustmentDialog::ImageAdjustmentDialog(ImageRecord& workingCopy, OperationRunner& runner,
                                             const DialogContext& context, ShowPreview showPreview,
                                             OriginalBlock originalBlock, QWidget* parent)
    : QDialog(parent), working_(workingCopy), context_(context), adjustment_(workingCopy, runner),
      showPreview_(std::move(showPreview)), originalBlock_(std::move(originalBlock)) {
    setObjectName(QStringLiteral("ImageAdjustment"));
    setWindowTitle(QStringLiteral("Image Adjustment"));
    const char* titles[3] = {"Brightness", "Contrast", "Saturation"};
    const char* names[3] = {"brightness", "contrast", "saturation"};
    auto* grid = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        auto* title = new QLabel(QString::fromLatin1(titles[i]), this);
        title->setObjectName(QStringLiteral("%1Title").arg(names[i]));
        sliders_[i] = new AdjustmentSlider(kRanges[i][0], kRanges[i][1], i == 2, this);
        sliders_[i]->setObjectName(QStringLiteral("%1Slider").arg(names[i]));
        edits_[i] = new CheckedNumberEdit(this);
        edits_[i]->setObjectName(QStringLiteral("%1Edit").arg(names[i]));
        edits_[i]->setContext(context_);
        edits_[i]->setMaximumWidth(60);
        edits_[i]->setUp(NumberKind::Int32, {NumberKind::Int32, 0},
                         {NumberKind::Int32, double(kRanges[i][0])},
                         {NumberKind::Int32, double(kRanges[i][1])}, {NumberKind::Int32, 0});
        grid->addWidget(title, i * 2, 0, 1, 2);
        grid->addWidget(sliders_[i], i * 2 + 1, 0);
        grid->addWidget(edits_[i], i * 2 + 1, 1, Qt::AlignTop);
        connect(edits_[i], &QLineEdit::textChanged, this, [this, i] { editChanged(i); });
        connect(sliders_[i], &AdjustmentSlider::valuePicked, this, [this, i](int value) {
            edits_[i]->selectAll();
            edits_[i]->insert(QString::number(value));
        });
    }
    auto* resetButton = new QPushButton(QStringLiteral("Reset"), this);
    resetButton->setObjectName(QStringLiteral("resetButton"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(resetButton, &QPushButton::clicked, this, &ImageAdjustmentDialog::reset);
    connect(ok, &QPushButton::clicked, this, &ImageAdjustmentDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &ImageAdjustmentDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(resetButton);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    if (adjustment_.grey()) {
        edits_[2]->setEnabled(false);
        sliders_[2]->setMouseEnabled(false);
    }
    context_.translate(this);
}

void ImageAdjustmentDialog::editChanged(int index) {
    const QString text = edits_[index]->text().left(9);
    bool ok = false;
    const int value = text.toInt(&ok);
    if (ok && value >= kRanges[index][0] && value <= kRanges[index][1]) {
        int* fields[3] = {&values_.brightness, &values_.contrast, &values_.saturation};
        *fields[index] = value;
        sliders_[index]->setValue(value);
    } else if (!edits_[index]->rules().isNumberStart(text.toStdString())) {
        // Moving the focus on makes the field report its range and fall back to its reset value.
        const int next = index == 0 ? 1 : (index == 1 ? (edits_[2]->isEnabled() ? 2 : 0) : 0);
        if (edits_[index]->hasFocus()) edits_[next]->setFocus(Qt::TabFocusReason);
    }
    runPreview();
}

void ImageAdjustmentDialog::runPreview() {
    OperationFailure failure;
    if (!adjustment_.preview(values_, failure)) {
        context_.messageTranslated(this, QString::fromStdString(failure.text),
                                   QString::fromStdString(failure.caption), QMessageBox::Warning);
        return;
    }
    if (showPreview_ && adjustment_.adjustedHeader())
        showPreview_(*adjustment_.adjustedHeader(), adjustment_.adjustedPixels());
}

void ImageAdjustmentDialog::reset() {
    if (values_ == AdjustmentValues{}) return;
    for (CheckedNumberEdit* edit : edits_)
        edit->setText(QStringLiteral("0"));
}

void ImageAdjustmentDialog::reject() {
    reset();
    QDialog::reject();
}

void ImageAdjustmentDialog::accept() {
    if (working_.empty() || !adjustment_.adjustedHeader()) {
        QDialog::accept();
        return;
    }
    adjustment_.commitToWorkingCopy(working_);
    if (originalBlock_) {
        OperationFailure failure;
        const std::span<std::uint8_t> original = originalBlock_();
        if (!original.empty() && !adjustment_.commitToOriginal(original, failure)) {
            context_.messageTranslated(this, QString::fromStdString(failure.text),
                                       QString::fromStdString(failure.caption), QMessageBox::Warning);
            return;
        }
    }
    QDialog::accept();
}

} // namespace tandemscan
