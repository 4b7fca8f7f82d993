#include "checked_number_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

namespace tandemscan {

CheckedNumberEdit::CheckedNumberEdit(QWidget* parent) : QLineEdit(parent) {
    setUp(NumberKind::Int32, {}, {}, {}, {});
}

void CheckedNumberEdit::setUp(NumberKind kind, TaggedNumber value, TaggedNumber minimum, TaggedNumber maximum,
                              TaggedNumber resetValue) {
    rules_.setUp(kind, value, minimum, maximum, resetValue);
    showValue(rules_.value());
}

void CheckedNumberEdit::showValue(double value) {
    setText(QString::fromStdString(rules_.format(value)));
    setCursorPosition(static_cast<int>(text().size()));
}

void CheckedNumberEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Undo) ||
        event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) {
        QLineEdit::keyPressEvent(event);
        cleanText();
        return;
    }
    const QString typed = event->text();
    if (typed.size() != 1 || !typed.at(0).isPrint() || (event->modifiers() & Qt::ControlModifier)) {
        // Navigation, Tab, Enter and the like keep their usual meaning.
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar ch = typed.at(0);
    if (ch.unicode() > 127) return;
    EditState state{text().toStdString(), 0, 0};
    if (hasSelectedText()) {
        state.selectionStart = selectionStart();
        state.selectionEnd = selectionEnd();
    } else {
        state.selectionStart = state.selectionEnd = cursorPosition();
    }
    if (!rules_.acceptsCharacter(state, static_cast<char>(ch.unicode()))) return;
    QLineEdit::keyPressEvent(event);
    if (isFloatKind(rules_.kind())) cleanText();
}

void CheckedNumberEdit::cleanText() {
    const std::string current = text().toStdString();
    const std::string cleaned = rules_.clean(current);
    if (cleaned == current) return;
    const int caret = cursorPosition();
    setText(QString::fromStdString(cleaned));
    setCursorPosition(std::min(caret, static_cast<int>(cleaned.size())));
}

bool CheckedNumberEdit::checkRange() {
    if (!text().isEmpty() && rules_.isNumberStart(text().toStdString())) {
        showValue(rules_.resetValue());
        return true;
    }
    if (!rules_.checking() || rules_.inRange(value())) return true;
    const std::string message = rules_.rangeMessage(
        context_.tr(QStringLiteral("The value must be in range: %4d  ~  %4d!")).toStdString(),
        context_.tr(QStringLiteral("A value between %.3f and %.3f is required!")).toStdString());
    context_.messageTranslated(this, QString::fromStdString(message), QString::fromLatin1(kProgramCaption),
                               QMessageBox::Warning);
    showValue(rules_.resetValue());
    selectAll();
    return false;
}

void CheckedNumberEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (checking_ || event->reason() == Qt::PopupFocusReason ||
        event->reason() == Qt::ActiveWindowFocusReason)
        return;
    checking_ = true;
    if (!checkRange()) QTimer::singleShot(0, this, [this] { setFocus(Qt::OtherFocusReason); });
    checking_ = false;
}

} // namespace tandemscan
