#pragma once
// What the board shows, as one value for views outside the windows: the
// model's rows as the board draws them, in the layout's look at the board
// window's size.

#include <QSize>

#include "core/BoardLayout.h"
#include "core/BoardModel.h"
#include "core/BoardView.h"

class QImage;

scb::BoardView boardViewOf(const scb::BoardModel &board, const scb::BoardLayout &layout, QSize boardSize,
                           const QImage &picture, bool pictureLoaded, bool shown);
