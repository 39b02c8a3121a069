#pragma once
// The rows one tick set, as the model then holds them; a row the tick left
// alone reads as Untouched.

#include <QStringList>

#include "core/BoardModel.h"

inline const QString Untouched = QStringLiteral("-");

inline QStringList rowsOf(const scb::BoardModel &board, const scb::BoardChange &change)
{
    QStringList out;
    for (int r = 0; r < scb::RowCount; ++r) {
        const scb::RowLinePtr row = board.rowLine(r);
        out << (change.rowsSet[std::size_t(r)] && row
                    ? QString::fromLatin1(row->bytes.data(), qsizetype(row->bytes.size()))
                    : Untouched);
    }
    return out;
}
