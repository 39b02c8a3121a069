#pragma once
// The one page the server hands out: the twelve rows drawn as the board
// draws them, fed over the WebSocket at /ws. It loads nothing from anywhere
// else; its script and style are inline and allowed by their hashes, so the
// security policy can forbid every other script and style.

#include <QByteArray>

namespace BoardPage {

QByteArray html();

// The Content-Security-Policy sent with every answer: the page's own origin
// only, and of inline code only the page's own script and style.
QByteArray contentSecurityPolicy();

} // namespace BoardPage
