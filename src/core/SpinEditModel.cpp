#include "core/SpinEditModel.h"

#include "core/Error.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>

namespace scb {

std::string spinIntegerText(double v)
{
    const double t = std::trunc(v);
    if (t == 0)
        return "0";
    // Exact for every double that is an integer; no int64 overflow for huge bounds.
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", t);
    return buf;
}

bool SpinEditModel::setText(const std::string &text)
{
    if (text == m_text)
        return false;
    m_text = text;
    return true;
}

bool SpinEditModel::setValue(double v)
{
    if (std::isnan(v) || v == m_value)
        return false;
    m_value = v;
    if (m_value > m_maxValue)
        m_value = m_maxValue;
    if (m_value < m_minValue)
        m_value = m_minValue;
    return setText(spinIntegerText(m_value));
}

void SpinEditModel::setMinValue(double v)
{
    if (std::isnan(v) || v == m_minValue)
        return;
    m_minValue = v;
    if (m_maxValue < m_minValue)
        m_maxValue = m_minValue;
}

void SpinEditModel::setMaxValue(double v)
{
    if (std::isnan(v) || v == m_maxValue)
        return;
    m_maxValue = v;
    if (m_minValue > m_maxValue)
        m_minValue = m_maxValue;
}

void SpinEditModel::setStep(double v)
{
    if (std::isnan(v) || v == m_step)
        return;
    m_step = v;
}

void SpinEditModel::setLargeStep(double v)
{
    if (std::isnan(v) || v == m_largeStep)
        return;
    m_largeStep = v;
}

void SpinEditModel::setReadOnly(bool on)
{
    m_readOnly = on;
}

int readIntegerText(const std::string &text)
{
    if (text.empty())
        return 0;
    const auto fail = [&text]() { return Error("'" + text + "' is not a valid integer value"); };
    std::size_t i = 0;
    bool negative = false;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size())
        throw fail();
    std::int64_t n = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            throw fail();
        n = n * 10 + (c - '0');
        // Leading zeros keep n small, so checking as we go bounds any length.
        if (n > std::int64_t(INT32_MAX) + 1)
            throw fail();
    }
    if (negative)
        n = -n;
    if (n > INT32_MAX || n < INT32_MIN)
        throw fail();
    return static_cast<int>(n);
}

int SpinEditModel::readInteger() const
{
    return readIntegerText(m_text);
}

bool SpinEditModel::stepUp(bool large)
{
    if (m_readOnly)
        return false;
    const double n = readInteger();
    const double next = n + std::round(large ? m_largeStep : m_step);
    return setText(spinIntegerText(next < m_maxValue ? next : m_maxValue));
}

bool SpinEditModel::stepDown(bool large)
{
    if (m_readOnly)
        return false;
    const double n = readInteger();
    const double next = n - std::round(large ? m_largeStep : m_step);
    return setText(spinIntegerText(next > m_minValue ? next : m_minValue));
}

bool SpinEditModel::acceptsInsert(const std::string &s, int cursorPos, int selStart, int selLength) const
{
    if (m_readOnly || s.empty())
        return false;
    const int len = static_cast<int>(m_text.size());
    const bool hasSelection = selLength > 0 && selStart >= 0;
    const int begin = std::clamp(hasSelection ? selStart : cursorPos, 0, len);
    const int end = hasSelection ? std::clamp(begin + selLength, begin, len) : begin;

    std::size_t digitsFrom = 0;
    if (s[0] == '-') {
        // The sign may only open the text, and only once.
        if (begin != 0)
            return false;
        const std::string rest = m_text.substr(0, begin) + m_text.substr(end);
        if (rest.find('-') != std::string::npos)
            return false;
        digitsFrom = 1;
    } else if (end < len && m_text[end] == '-') {
        return false; // a digit in front of the sign
    }
    return std::all_of(s.begin() + digitsFrom, s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool SpinEditModel::acceptsTyped(char c, int cursorPos, int selStart, int selLength) const
{
    return acceptsInsert(std::string(1, c), cursorPos, selStart, selLength);
}

bool SpinEditModel::acceptsPaste(const std::string &pasted, int cursorPos, int selStart, int selLength) const
{
    return acceptsInsert(pasted, cursorPos, selStart, selLength);
}

bool SpinEditModel::focusOut()
{
    return setValue(readInteger());
}

SpinButtonLayout spinButtonLayout(const Rect &inner)
{
    SpinButtonLayout l;
    const int side = std::max(0, std::min(inner.height, inner.width));
    l.buttons = {inner.x + inner.width - side, inner.y, side, inner.height};
    const int upHeight = inner.height / 2;
    l.up = {l.buttons.x, inner.y, side, upHeight};
    l.down = {l.buttons.x, inner.y + upHeight, side, inner.height - upHeight};
    return l;
}

SpinButton spinButtonAt(const SpinButtonLayout &layout, int x, int y)
{
    if (layout.up.contains(x, y))
        return SpinButton::Up;
    if (layout.down.contains(x, y))
        return SpinButton::Down;
    return SpinButton::None;
}

} // namespace scb
