#pragma once
// The one page browsers get: the rows drawn as the board draws them, fed
// over a WebSocket. It loads nothing from anywhere else; its script and
// style are inline and allowed by their hashes, so the security policy can
// forbid every other script and style. One source (board.html) serves both
// the program's own server and the venue's engine (deploy/).

#include <QByteArray>

namespace BoardPage {

// board.html as it stands: the engine's feed (/board/sub, /board/picture).
QByteArray source();

// The page as the program serves it: fed from /ws, its picture at /picture.
QByteArray html();

// The Content-Security-Policy sent with every answer: the page's own origin
// only, and of inline code only the page's own script and style.
QByteArray contentSecurityPolicy();

} // namespace BoardPage
