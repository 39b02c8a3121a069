#pragma once
// The blank pointer over the whole program while the pointer rests on the
// board. The override cursor is a stack in Qt: it is pushed once and popped
// once, and never left pushed when its owner goes.

class PointerHider
{
public:
    PointerHider() = default;
    ~PointerHider() { setHidden(false); }
    PointerHider(const PointerHider &) = delete;
    PointerHider &operator=(const PointerHider &) = delete;

    void setHidden(bool hidden);
    bool hidden() const { return m_hidden; }

private:
    bool m_hidden = false;
};
