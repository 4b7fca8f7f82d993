// Rules of the checked numeric field: which keys an edit of a given number kind accepts, how its
// text is cleaned and shown, and the range check on leaving. Free of widgets so the rules can be
// tested on their own; CheckedNumberEdit applies them to a QLineEdit.
#pragma once

#include <initializer_list>
#include <string>

namespace tandemscan {

enum class NumberKind : int {
    Int32 = 1,
    Int16 = 2,
    Float = 3,
    Double = 4,
    UInt32 = 5,
    UInt16 = 6,
    UInt8 = 7,
};

bool isFloatKind(NumberKind kind);
bool isSignedKind(NumberKind kind);

// A number tagged with its own kind; converted to the field's kind when set.
struct TaggedNumber {
    NumberKind kind = NumberKind::Int32;
    double value = 0; // every supported kind fits a double exactly
};

// Converts to the field's kind: integer kinds truncate toward zero and wrap as the C type would.
double convertToKind(TaggedNumber number, NumberKind kind);

struct DigitLimits {
    int integerDigits = 6;
    int decimals = 0;
};
DigitLimits defaultDigitLimits(NumberKind kind);

// The text and selection of the edit at the moment a key arrives.
struct EditState {
    std::string text;
    int selectionStart = 0;
    int selectionEnd = 0;
};

class CheckedNumberRules {
  public:
    // Set-up: a value outside [minimum, maximum] pulls both limits onto it; a reset value outside
    // becomes the value.
    void setUp(NumberKind kind, TaggedNumber value, TaggedNumber minimum, TaggedNumber maximum,
               TaggedNumber resetValue);

    NumberKind kind() const { return kind_; }
    double value() const { return value_; }
    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    double resetValue() const { return resetValue_; }
    DigitLimits limits() const { return limits_; }
    void setLimits(DigitLimits limits) { limits_ = limits; }
    bool checking() const { return checking_; }
    void setChecking(bool on) { checking_ = on; }

    // The text shown for a value of this field's kind (trimmed).
    std::string format(double value) const;
    // Whether a typed character may go in (digits, '-', '.'); control keys are decided by the edit.
    bool acceptsCharacter(const EditState& state, char ch) const;
    // Removes what the kind cannot hold and cuts the fraction to the decimals.
    std::string clean(const std::string& text) const;
    // Whether the text is only the start of a number ("", a lone "-", ".", "-."): it waits for
    // more keys and reads as the reset value when the field is left.
    bool isNumberStart(const std::string& text) const;
    // The text read as this field's kind, without wrapping.
    double parse(const std::string& text) const;
    bool inRange(double value) const { return value >= minimum_ && value <= maximum_; }
    // The message shown on leaving with a value out of range ("" when in range).
    std::string rangeMessage(const std::string& integerTemplate, const std::string& floatTemplate) const;

  private:
    bool acceptsDigit(const EditState& state, char ch) const;

    NumberKind kind_ = NumberKind::Int32;
    DigitLimits limits_;
    double value_ = 0, minimum_ = 0, maximum_ = 0, resetValue_ = 0;
    bool checking_ = true;
};

// Fills the numeric conversions (%d, %4d, %.3f, ...) of a message template in order; any other
// conversion is copied literally, so a damaged translation cannot crash the program.
std::string fillNumbers(const std::string& pattern, std::initializer_list<double> values);

} // namespace tandemscan
