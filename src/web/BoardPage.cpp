#include "web/BoardPage.h"

#include <QCryptographicHash>

namespace {

// Rows are a twelfth of the viewport's height; every other size follows
// from the board's own ratio to its row height (--font, --pad, picture).
const char *const Style = R"CSS(
html, body { margin: 0; height: 100%; overflow: hidden; background: #000; }
html.transparent, html.transparent body { background: transparent; }
#board { position: fixed; inset: 0; box-sizing: border-box; --row: calc(100vh / 12); }
#board.border { border: 1px solid; border-color: #a0a0a0 #ffffff #ffffff #a0a0a0; }
#board.border #client { border: 1px solid; border-color: #696969 #e3e3e3 #e3e3e3 #696969; }
#client { position: absolute; inset: 0; overflow: hidden; background-repeat: no-repeat; }
.row { height: var(--row); overflow: hidden; white-space: pre; line-height: normal;
       font-size: calc(var(--row) * var(--font, 0.8)); padding-left: calc(var(--row) * var(--pad, 0)); }
)CSS";

const char *const Script = R"JS(
'use strict';
const query = new URLSearchParams(location.search);
const transparent = query.get('transparent') === '1';
const always = query.get('always') === '1';
if (transparent) document.documentElement.classList.add('transparent');
const board = document.getElementById('board');
const client = document.getElementById('client');
const rows = [];
for (let i = 0; i < 12; i++) {
  const row = document.createElement('div');
  row.className = 'row';
  client.appendChild(row);
  rows.push(row);
}

function show(b) {
  const visible = !!b && (b.shown || always);
  board.hidden = !visible;
  document.body.dataset.version = b ? String(b.version) : '';
  if (!visible) return;
  const s = b.style;
  const unit = s.rowHeight > 0 ? 1 / s.rowHeight : 0;
  board.style.setProperty('--font', String(s.fontPixelSize * unit));
  board.style.setProperty('--pad', String(2 * unit));
  board.classList.toggle('border', s.border && !transparent);
  client.style.color = s.textColor;
  client.style.backgroundColor = transparent ? 'transparent' : s.backColor;
  client.style.fontFamily = '"' + s.fontFamily.replace(/["\\]/g, '\\$&') + '", sans-serif';
  client.style.fontWeight = s.bold ? 'bold' : 'normal';
  client.style.fontStyle = s.italic ? 'italic' : 'normal';
  client.style.textDecoration = [s.underline ? 'underline' : '', s.strikeOut ? 'line-through' : ''].join(' ').trim() || 'none';
  const p = b.picture;
  if (p.loaded && !transparent) {
    client.style.backgroundImage = 'url("/picture?v=' + p.version + '")';
    client.style.backgroundSize = 'calc(var(--row) * ' + p.width * unit + ') calc(var(--row) * ' + p.height * unit + ')';
  } else {
    client.style.backgroundImage = 'none';
  }
  for (let i = 0; i < 12; i++) rows[i].textContent = b.rows[i] || '';
}

// The last board stays up through a short break (the program restarting);
// a longer one blanks the page. The page keeps trying to reconnect.
let blankTimer = 0;
function connect() {
  const ws = new WebSocket((location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/ws');
  ws.onmessage = (e) => {
    clearTimeout(blankTimer);
    blankTimer = 0;
    show(JSON.parse(e.data));
  };
  ws.onclose = () => {
    if (!blankTimer) blankTimer = setTimeout(() => show(null), 3000);
    setTimeout(connect, 1000);
  };
}
show(null);
connect();
)JS";

QByteArray hashSource(const char *text)
{
    return "'sha256-" + QCryptographicHash::hash(QByteArray(text), QCryptographicHash::Sha256).toBase64() + "'";
}

} // namespace

namespace BoardPage {

QByteArray html()
{
    return QByteArray("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                      "<title>Torvane Scoreboard</title><style>")
        + Style + "</style></head>\n<body><div id=\"board\" hidden><div id=\"client\"></div></div><script>" + Script
        + "</script></body></html>\n";
}

QByteArray contentSecurityPolicy()
{
    static const QByteArray policy = "default-src 'self'; script-src " + hashSource(Script) + "; style-src "
        + hashSource(Style) + "; base-uri 'none'; form-action 'none'";
    return policy;
}

} // namespace BoardPage
