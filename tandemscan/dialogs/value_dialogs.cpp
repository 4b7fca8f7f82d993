#include "value_dialogs.h"

#include "checked_number.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace tandemscan {

namespace {

QDialogButtonBox* okCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->setObjectName(QStringLiteral("buttons"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

SliderValueDialog::SliderValueDialog(Kind kind, const DialogContext& context, QWidget* parent)
    : QDialog(parent), context_(context),
      value_(kind == Kind::CustomResolution ? SliderValue::customResolution() : SliderValue::descreen()) {
    const bool resolution = kind == Kind::CustomResolution;
    setObjectName(resolution ? QStringLiteral("CustomResolution") : QStringLiteral("Descreen"));
    setWindowTitle(resolution ? QStringLiteral("Custom resolution") : QStringLiteral("Descreen"));

    bar_ = new QScrollBar(Qt::Horizontal, this);
    bar_->setObjectName(QStringLiteral("valueBar"));
    bar_->setRange(value_.minimum(), value_.maximum());
    bar_->setSingleStep(1);
    bar_->setPageStep(10);
    bar_->setValue(value_.start());
    bar_->setMinimumWidth(220);

    edit_ = new QLineEdit(QString::number(value_.start()), this);
    edit_->setObjectName(QStringLiteral("valueEdit"));
    edit_->setMaxLength(value_.textLimit());
    edit_->setMaximumWidth(70);

    auto* unit = new QLabel(resolution ? QStringLiteral("dpi") : QStringLiteral("lpi"), this);
    unit->setObjectName(QStringLiteral("unit"));
    auto* range = new QLabel(QStringLiteral("%1 - %2").arg(value_.minimum()).arg(value_.maximum()), this);
    range->setObjectName(QStringLiteral("range"));

    auto* row = new QHBoxLayout;
    row->addWidget(bar_, 1);
    row->addWidget(edit_);
    row->addWidget(unit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(range);
    layout->addWidget(okCancel(this));

    connect(bar_, &QScrollBar::actionTriggered, this, &SliderValueDialog::barMoved);
    connect(edit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (syncing_) return;
        value_.editChanged(text.toStdString());
        if (value_.valid()) {
            syncing_ = true;
            bar_->setValue(value_.position());
            syncing_ = false;
        }
    });
    context_.translate(this);
}

void SliderValueDialog::barMoved(int action) {
    std::string text;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        text = value_.lineBy(1);
        break;
    case QAbstractSlider::SliderSingleStepSub:
        text = value_.lineBy(-1);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        text = value_.pageBy(1);
        break;
    case QAbstractSlider::SliderPageStepSub:
        text = value_.pageBy(-1);
        break;
    case QAbstractSlider::SliderToMinimum:
        text = value_.moveTo(value_.minimum());
        break;
    case QAbstractSlider::SliderToMaximum:
        text = value_.moveTo(value_.maximum());
        break;
    default:
        text = value_.moveTo(bar_->sliderPosition());
        break;
    }
    syncing_ = true;
    edit_->setText(QString::fromStdString(text));
    syncing_ = false;
    value_.editChanged(text);
    // The bar applies the action itself after this signal; keep it where the value is.
    bar_->setSliderPosition(value_.position());
}

void SliderValueDialog::accept() {
    if (const auto result = value_.accept(edit_->text().toStdString())) {
        result_ = *result;
        QDialog::accept();
        return;
    }
    const std::string text = fillNumbers(
        context_.tr(QStringLiteral("Invalid value! Please type number between %d and %d.")).toStdString(),
        {static_cast<double>(value_.minimum()), static_cast<double>(value_.maximum())});
    context_.messageTranslated(this, QString::fromStdString(text), QString::fromLatin1(kErrorCaption),
                               QMessageBox::Critical);
    syncing_ = true;
    edit_->setText(QString::number(value_.start()));
    bar_->setValue(value_.start());
    syncing_ = false;
    edit_->setFocus();
    edit_->selectAll();
}

OriginalTypeDialog::OriginalTypeDialog(int width, int height, const DialogContext& context, QWidget* parent)
    : QDialog(parent), context_(context), width_(width), height_(height) {
    setObjectName(QStringLiteral("OriginalType"));
    setWindowTitle(QStringLiteral("Original type setting"));
    widthEdit_ = new QLineEdit(QString::number(width), this);
    widthEdit_->setObjectName(QStringLiteral("widthEdit"));
    heightEdit_ = new QLineEdit(QString::number(height), this);
    heightEdit_->setObjectName(QStringLiteral("heightEdit"));
    for (QLineEdit* edit : {widthEdit_, heightEdit_}) {
        edit->setMaxLength(4);
        edit->installEventFilter(this);
    }
    auto* form = new QFormLayout;
    form->addRow(new QLabel(QStringLiteral("Width (0.1 mm):"), this), widthEdit_);
    form->addRow(new QLabel(QStringLiteral("Height (0.1 mm):"), this), heightEdit_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
    context_.translate(this);
}

bool OriginalTypeDialog::eventFilter(QObject* watched, QEvent* event) {
    // A character typed into a full edit is the moment to say what the field holds.
    if (event->type() == QEvent::KeyPress && (watched == widthEdit_ || watched == heightEdit_)) {
        auto* edit = static_cast<QLineEdit*>(watched);
        auto* key = static_cast<QKeyEvent*>(event);
        const QString typed = key->text();
        if (typed.size() == 1 && typed.at(0).isPrint() && !edit->hasSelectedText() &&
            edit->text().size() >= edit->maxLength()) {
            if (edit == widthEdit_)
                showWidthMessage();
            else
                showHeightMessage();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void OriginalTypeDialog::showWidthMessage() {
    const std::string text =
        fillNumbers(context_.tr(QStringLiteral("The original width must be in %d ~ %d !")).toStdString(),
                    {OriginalSizeRule::minimumWidth, OriginalSizeRule::maximumWidth});
    context_.messageTranslated(this, QString::fromStdString(text), QString::fromLatin1(kProgramCaption),
                               QMessageBox::Warning);
}

void OriginalTypeDialog::showHeightMessage() {
    const std::string text =
        fillNumbers(context_.tr(QStringLiteral("The original height must be in %d ~ %d !")).toStdString(),
                    {OriginalSizeRule::minimumHeight, OriginalSizeRule::maximumHeight});
    context_.messageTranslated(this, QString::fromStdString(text), QString::fromLatin1(kProgramCaption),
                               QMessageBox::Warning);
}

void OriginalTypeDialog::accept() {
    const int width = readDecimal(widthEdit_->text().toStdString());
    if (!OriginalSizeRule::widthOk(width)) {
        showWidthMessage();
        return;
    }
    width_ = width;
    emit widthAccepted(width);
    const int height = readDecimal(heightEdit_->text().toStdString());
    if (!OriginalSizeRule::heightOk(height)) {
        showHeightMessage();
        return;
    }
    height_ = height;
    QDialog::accept();
}

} // namespace tandemscan
