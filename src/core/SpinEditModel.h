#pragma once
// The rules of an integer spin edit, apart from any toolkit. The text the user
// sees and the stored Value are separate: setting Value rewrites the text,
// typing and stepping change only the text, and focusOut() writes the text's
// number back to Value. Every mutator reports whether the text changed, so the
// widget fires its change notification exactly then. A fresh edit stores 0 and
// shows an empty text, which reads as 0.

#include <string>

#include "core/Geometry.h"

namespace scb {

class SpinEditModel
{
public:
    const std::string &text() const { return m_text; }
    // Takes any text as it stands (typing results, text set from code).
    bool setText(const std::string &text);

    double value() const { return m_value; }
    // Nothing happens when v equals the stored value, even if the text differs.
    // Otherwise stores v clamped to MaxValue, then MinValue, and shows it with
    // its fraction dropped. NaN is refused.
    bool setValue(double v);

    double minValue() const { return m_minValue; }
    double maxValue() const { return m_maxValue; }
    // The bounds never cross: setting one past the other drags the other along.
    // The stored value is not re-clamped.
    void setMinValue(double v);
    void setMaxValue(double v);

    double step() const { return m_step; }
    double largeStep() const { return m_largeStep; }
    void setStep(double v);
    void setLargeStep(double v);

    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool on);

    // Empty text reads as 0; anything but a decimal int32 (optional sign)
    // throws scb::Error("'<text>' is not a valid integer value").
    int readInteger() const;

    // Up: n + step while below MaxValue, else MaxValue; Down: n - step while
    // above MinValue, else MinValue (step rounded, bounds' fraction dropped).
    // Rewrites the text only; throws on unreadable text without changing it.
    // Nothing happens when read-only.
    bool stepUp(bool large = false);
    bool stepDown(bool large = false);

    // Whether one typed character may go in: a digit that does not land in
    // front of a "-", or a "-" at the first position when the text would hold
    // no other "-". Positions are byte offsets into text(); selLength 0 means
    // no selection and the insertion happens at cursorPos.
    bool acceptsTyped(char c, int cursorPos, int selStart, int selLength) const;
    // Pasted text: digits after at most one leading "-", placed by the same
    // rules as typing.
    bool acceptsPaste(const std::string &pasted, int cursorPos, int selStart, int selLength) const;

    // Reads the text and sets Value to it (clamping, rewriting the text).
    // Throws on unreadable text, leaving value and text as they were.
    bool focusOut();

private:
    bool acceptsInsert(const std::string &s, int cursorPos, int selStart, int selLength) const;

    std::string m_text;
    double m_value = 0;
    double m_minValue = 0;
    double m_maxValue = 100;
    double m_step = 1;
    double m_largeStep = 10;
    bool m_readOnly = false;
};

// The text a spin edit shows for a number: fraction dropped toward zero,
// decimal, "0" for zero (never "-0").
std::string spinIntegerText(double v);

// A spin edit's text as an integer, by readInteger()'s rules.
int readIntegerText(const std::string &text);

// Where the up/down button pair sits: a square at the right end of the
// field's inner rectangle, as wide as its height, split into an upper and a
// lower half. Pixel rectangles in widget coordinates.
struct SpinButtonLayout
{
    Rect buttons; // the whole square
    Rect up;
    Rect down;
};

enum class SpinButton { None, Up, Down };

SpinButtonLayout spinButtonLayout(const Rect &inner);
SpinButton spinButtonAt(const SpinButtonLayout &layout, int x, int y);

} // namespace scb
