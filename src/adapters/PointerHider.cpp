#include "adapters/PointerHider.h"

#include <QApplication>
#include <QCursor>

void PointerHider::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    if (hidden)
        QApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    else
        QApplication::restoreOverrideCursor();
}
