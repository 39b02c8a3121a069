#pragma once
// The parts of the board's view that only the toolkit can tell: the look as
// the board draws it (the font it actually got, in pixels) and the picture's
// size and identity. The rows need nothing: the model's lines carry them
// decoded.

#include "core/BoardLayout.h"
#include "core/BoardView.h"

class QImage;

// rowHeight: the board's row height as the layout made it, in board pixels.
scb::BoardStyle boardStyleOf(const scb::BoardLayout &layout, int rowHeight);

scb::BoardPicture boardPictureOf(const QImage &picture, bool pictureLoaded);
