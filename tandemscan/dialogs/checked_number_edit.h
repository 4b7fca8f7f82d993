// A line edit that takes only what a number of its kind can hold and checks the range when the
// focus leaves it, falling back to its reset value.
#pragma once

#include "checked_number.h"
#include "dialog_context.h"

#include <QLineEdit>

namespace tandemscan {

class CheckedNumberEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit CheckedNumberEdit(QWidget* parent = nullptr);

    void setContext(const DialogContext& context) { context_ = context; }
    void setUp(NumberKind kind, TaggedNumber value, TaggedNumber minimum, TaggedNumber maximum,
               TaggedNumber resetValue);
    const CheckedNumberRules& rules() const { return rules_; }
    void setChecking(bool on) { rules_.setChecking(on); }

    // The text read as the field's kind.
    double value() const { return rules_.parse(text().toStdString()); }
    void showValue(double value);
    // The range check that runs on leaving; true when the text was in range.
    bool checkRange();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void cleanText();

    CheckedNumberRules rules_;
    DialogContext context_;
    bool checking_ = false; // no second message while the first one has the focus
};

} // namespace tandemscan
