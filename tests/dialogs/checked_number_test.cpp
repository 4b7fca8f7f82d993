#include "checked_number.h"

#include <gtest/gtest.h>

using namespace tandemscan;

namespace {

CheckedNumberRules field(NumberKind kind, double value, double minimum, double maximum, double reset) {
    CheckedNumberRules rules;
    rules.setUp(kind, {kind, value}, {kind, minimum}, {kind, maximum}, {kind, reset});
    return rules;
}

} // namespace

TEST(CheckedNumber, SetUpPullsLimitsAndResetOntoAnOutsideValue) {
    const auto inside = field(NumberKind::Int32, 5, -127, 127, 0);
    EXPECT_EQ(inside.minimum(), -127);
    EXPECT_EQ(inside.maximum(), 127);
    EXPECT_EQ(inside.resetValue(), 0);

    const auto outside = field(NumberKind::Int32, 300, -127, 127, 0);
    EXPECT_EQ(outside.minimum(), 300);
    EXPECT_EQ(outside.maximum(), 300);
    EXPECT_EQ(outside.resetValue(), 300);

    const auto badReset = field(NumberKind::Int32, 5, -127, 127, 500);
    EXPECT_EQ(badReset.resetValue(), 5);
}

TEST(CheckedNumber, ValuesConvertToTheFieldKindAsTheCTypeWould) {
    struct Case {
        NumberKind kind;
        double in;
        double out;
    } cases[] = {
        {NumberKind::Int16, 40000, -25536}, {NumberKind::UInt8, 300, 44},    {NumberKind::UInt8, 7.9, 7},
        {NumberKind::Int32, -3.7, -3},      {NumberKind::UInt16, -1, 65535}, {NumberKind::Float, 0.1, 0.1f},
    };
    for (const auto& c : cases)
        EXPECT_EQ(convertToKind({NumberKind::Double, c.in}, c.kind), c.out) << c.in;
}

TEST(CheckedNumber, DisplayByKind) {
    struct Case {
        NumberKind kind;
        double value;
        const char* text;
    } cases[] = {
        {NumberKind::Int32, -127, "-127"}, {NumberKind::UInt8, 255, "255"},
        {NumberKind::Float, 1.5, "1.500"}, {NumberKind::Double, -2.25, "-2.250"},
        {NumberKind::Int16, 0, "0"},
    };
    for (const auto& c : cases) {
        const auto rules = field(c.kind, c.value, -1000, 1000, 0);
        EXPECT_EQ(rules.format(c.value), c.text);
    }
}

TEST(CheckedNumber, KeyRules) {
    struct Case {
        const char* what;
        NumberKind kind;
        double minimum, maximum;
        const char* text;
        int selectionStart, selectionEnd;
        char key;
        bool accepted;
    } cases[] = {
        {"second minus refused", NumberKind::Int32, -127, 127, "-5", 0, 0, '-', false},
        {"minus replacing the minus", NumberKind::Int32, -127, 127, "-5", 0, 1, '-', true},
        {"minus only at the start", NumberKind::Int32, -127, 127, "5", 1, 1, '-', false},
        {"minus at the start", NumberKind::Int32, -127, 127, "5", 0, 0, '-', true},
        {"unsigned refuses minus", NumberKind::UInt16, 0, 100, "", 0, 0, '-', false},
        {"letters refused", NumberKind::Int32, -127, 127, "", 0, 0, 'a', false},
        {"point refused by integers", NumberKind::Int32, -127, 127, "1", 1, 1, '.', false},
        {"point accepted by floats", NumberKind::Float, 0, 10, "1", 1, 1, '.', true},
        {"leading zero with positive range", NumberKind::Int32, 1, 100, "", 0, 0, '0', false},
        {"leading zero with negative range", NumberKind::Int32, -100, -1, "", 0, 0, '0', false},
        {"leading zero with mixed range", NumberKind::Int32, -100, 100, "", 0, 0, '0', true},
        {"zero after a lone zero", NumberKind::Int32, -100, 100, "0", 1, 1, '0', false},
        {"digit at full length refused", NumberKind::UInt8, 0, 255, "123", 3, 3, '4', false},
        {"digit replacing a selection", NumberKind::UInt8, 0, 255, "123", 1, 2, '4', true},
        {"minus gives one more digit", NumberKind::Int16, -30000, 30000, "-1234", 5, 5, '5', true},
        {"full length with minus", NumberKind::Int16, -30000, 30000, "-12345", 6, 6, '5', false},
        {"selection over the minus alone", NumberKind::Int16, -30000, 30000, "-12345", 0, 1, '5', false},
        {"selection past the minus", NumberKind::Int16, -30000, 30000, "-12345", 0, 2, '5', true},
        {"shorter text accepts", NumberKind::Int32, -127, 127, "12", 2, 2, '7', true},
        {"fraction digits left to cleaning", NumberKind::Float, 0, 1000, "123456.1", 8, 8, '2', true},
        {"integer part full on a float", NumberKind::Float, 0, 1000, "123456.1", 3, 3, '2', false},
    };
    for (const auto& c : cases) {
        const auto rules =
            field(c.kind, 0 >= c.minimum && 0 <= c.maximum ? 0 : c.minimum, c.minimum, c.maximum, c.minimum);
        EXPECT_EQ(rules.acceptsCharacter({c.text, c.selectionStart, c.selectionEnd}, c.key), c.accepted)
            << c.what;
    }
}

TEST(CheckedNumber, CleaningKeepsOnlyWhatTheKindHolds) {
    struct Case {
        NumberKind kind;
        const char* in;
        const char* out;
    } cases[] = {
        {NumberKind::Int32, "-12a3", "-123"},  {NumberKind::UInt32, "-12", "12"},
        {NumberKind::Int32, "1-2", "12"},      {NumberKind::Float, "1.2345", "1.234"},
        {NumberKind::Float, "1.2.3", "1.23"},  {NumberKind::Int16, "1.5", "15"},
        {NumberKind::Double, "-0.5x", "-0.5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(field(c.kind, 0, -10, 10, 0).clean(c.in), c.out) << c.in;
}

TEST(CheckedNumber, ALoneSignIsTheStartOfANumber) {
    struct Case {
        NumberKind kind;
        const char* text;
        bool start;
    } cases[] = {
        {NumberKind::Int32, "-", true},   {NumberKind::Int32, "", true},    {NumberKind::Int32, "-6", false},
        {NumberKind::UInt32, "-", false}, {NumberKind::Int32, ".", false},  {NumberKind::Float, "-.", true},
        {NumberKind::Double, ".", true},  {NumberKind::Int16, "--", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(field(c.kind, 0, -10, 10, 0).isNumberStart(c.text), c.start) << c.text;
}

TEST(CheckedNumber, LeavingOutOfRangeNamesTheRange) {
    const auto rules = field(NumberKind::Int32, 0, -127, 127, 0);
    const double typed = rules.parse("200");
    EXPECT_FALSE(rules.inRange(typed));
    EXPECT_EQ(rules.rangeMessage("The value must be in range: %4d  ~  %4d!", "unused"),
              "The value must be in range: -127  ~   127!");
    EXPECT_EQ(rules.format(rules.resetValue()), "0");

    const auto floats = field(NumberKind::Double, 1, 0.5, 2, 1);
    EXPECT_EQ(floats.rangeMessage("unused", "A value between %.3f and %.3f is required!"),
              "A value between 0.500 and 2.000 is required!");
    // A 16-bit field reads "99999" as it is, not wrapped into range.
    EXPECT_FALSE(field(NumberKind::Int16, 0, -100, 100, 0)
                     .inRange(field(NumberKind::Int16, 0, -100, 100, 0).parse("99999")));
}

TEST(CheckedNumber, TemplatesFillOnlyNumbers) {
    struct Case {
        const char* pattern;
        const char* out;
    } cases[] = {
        {"between %d and %d.", "between 75 and 1200."},
        {"%s and %n are left alone %d", "%s and %n are left alone 75"},
        {"100%% sure: %d", "100% sure: 75"},
        {"only one %d %d %d", "only one 75 1200 %d"},
        {"trailing %", "trailing %"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fillNumbers(c.pattern, {75, 1200}), c.out) << c.pattern;
}
