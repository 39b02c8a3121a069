#include "Unit_Results.h"

#include "Application.h"
#include "core/Desktop.h"
#include "core/GridLayout.h"
#include "core/TextCodec.h"
#include "widgets/BackgroundPicture.h"
#include "widgets/Dialogs.h"
#include "widgets/QtConvert.h"
#include "widgets/ScbGrid.h"

#include <QCloseEvent>
#include <QFile>
#include <QFontInfo>
#include <QKeyEvent>


TResultsForm::TResultsForm(scb::DisplayState &state, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_state(state), m_pictureRead(Application::postTo(this))
{
    setObjectName(QStringLiteral("ResultsForm"));
    setWindowTitle(QStringLiteral("ResultsForm"));
    // Only the control window's closing ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(804, 97, 986, 629);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(128, 255, 255));
    setPalette(pal);
    QFont designFont(QStringLiteral("MS Sans Serif"));
    designFont.setPixelSize(11);
    setFont(designFont);

    // The panel and the grid fill the window from the start, not only once a
    // resize event has been delivered to a shown window.
    m_panelFill = new QWidget(this);
    m_panelFill->setObjectName(QStringLiteral("PanelFill"));
    m_panelFill->setGeometry(0, 0, 986, 629);
    m_panelFill->setAutoFillBackground(true);
    QPalette panelPal = m_panelFill->palette();
    panelPal.setColor(QPalette::Window, panelPal.color(QPalette::Button));
    m_panelFill->setPalette(panelPal);

    m_grid = new ScbGrid(m_panelFill);
    m_grid->setObjectName(QStringLiteral("ScbGrid"));
    m_grid->setGeometry(0, 0, 986, 629);
    m_grid->setDisplayState(&m_state);
    m_grid->setBackgroundPicture(&m_picture);

    Application::setKeyPreview(this, [this](QKeyEvent *e) { FormKeyUp(e); });
}

void TResultsForm::resizeEvent(QResizeEvent *event)
{
    m_panelFill->setGeometry(rect());
    m_grid->setGeometry(m_panelFill->rect());
    QWidget::resizeEvent(event);
}

void TResultsForm::ApplyScoreboardLayout()
{
    if (m_state.Starting)
        return;
    // Read everything first: a spin edit holding no integer stops the step
    // before anything changes.
    const ScoreboardRect r = rectSource ? rectSource() : ScoreboardRect{};
    setGeometry(toQRect(scb::desktopToWindow({r.left, r.top, r.width, r.height}, desktopScreens())));
    m_panelFill->setGeometry(rect());
    m_grid->setGeometry(m_panelFill->rect());

    m_grid->setBorder(m_state.ShowBorder);
    const QColor back = toQColor(m_state.BackColor);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, back);
    setPalette(pal);
    const QFont font = toQFont(m_state.Font);
    setFont(font);
    m_grid->setGridColor(back);
    m_grid->setGridFont(font);

    const scb::GridLayout g = scb::gridLayout(width(), height(), ScbGrid::RowCount);
    m_grid->setColumnWidth(g.columnWidth);
    m_grid->setRowHeight(g.rowHeight);
    m_grid->update();
    viewChanged();
}

void TResultsForm::LoadBackgroundImage()
{
    // Each call loads the path as it is now: a read still hanging on a share
    // that stopped answering is given up, and its picture never lands.
    m_pictureRead.supersede();
    const std::string path = m_state.BackgroundImagePath;
    auto read = [path, gate = m_gate] {
        if (!path.empty())
            scb::passGate(gate, path);
        return scb::readPictureFile(path);
    };
    auto showLater = [this, path](scb::PictureFile file) { showPicture(path, std::move(file)); };
    if (std::optional<scb::PictureFile> file = m_pictureRead.run(read, scb::CallBound{}, showLater))
        showPicture(path, std::move(*file));
}

void TResultsForm::showPicture(const std::string &path, scb::PictureFile file)
{
    m_state.BackgroundLoaded = false;
    if (!file.exists) {
        // No picture chosen: a removed one must not come back when a later
        // load fails and keeps "the previous picture".
        if (path.empty())
            m_picture = QImage();
        m_grid->update();
        viewChanged();
        return;
    }
    m_state.BackgroundLoaded = true;
    if (auto picture = decodeBackgroundPicture(file.check, file.bytes)) {
        // A metafile loads but gives no bitmap: the rows keep the plain colour.
        m_picture = std::move(picture->image);
    } else {
        // The previous picture stays; the path is forgotten so the next
        // start-up does not try it again.
        if (m_dialogs)
            m_dialogs->message(this, backgroundLoadErrorText(fromBytes(path)));
        if (m_state.BackgroundImagePath == path)
            m_state.BackgroundImagePath.clear();
    }
    m_grid->update();
    viewChanged();
}

void TResultsForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    viewChanged();
}

void TResultsForm::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    viewChanged();
}

scb::BoardView TResultsForm::boardView() const
{
    scb::BoardView v;
    for (int r = 0; r < scb::BoardRows; ++r)
        v.rows[static_cast<std::size_t>(r)] = scb::rowText(m_grid->cell(r));
    const QFont font = m_grid->gridFont();
    v.style.fontFamily = font.family().toStdString();
    v.style.bold = font.bold();
    v.style.italic = font.italic();
    v.style.underline = font.underline();
    v.style.strikeOut = font.strikeOut();
    v.style.fontPixelSize = QFontInfo(font).pixelSize();
    v.style.rowHeight = m_grid->rowHeight();
    v.style.textColor = m_state.Font.color; // read at every paint, as the cells do
    v.style.backColor = fromQColor(m_grid->gridColor());
    v.style.border = m_grid->hasBorder();
    v.picture.loaded = m_state.BackgroundLoaded && !m_picture.isNull();
    if (v.picture.loaded) {
        v.picture.width = m_picture.width();
        v.picture.height = m_picture.height();
        v.picture.identity = m_picture.cacheKey();
    }
    v.shown = isVisible();
    return v;
}

void TResultsForm::FormKeyUp(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return;
    switch (event->key()) {
    case Qt::Key_F8:
        if (onToggleRequest)
            onToggleRequest();
        break;
    case Qt::Key_Left:
        nudge(-10);
        break;
    case Qt::Key_Right:
        nudge(10);
        break;
    default:
        break;
    }
}

void TResultsForm::nudge(int desktopPixels)
{
    const std::vector<scb::DesktopScreen> screens = desktopScreens();
    scb::Rect r = scb::windowToDesktop(fromQRect(geometry()), screens);
    r.x += desktopPixels;
    move(toQRect(scb::desktopToWindow(r, screens)).topLeft());
}

bool TResultsForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && onActivated)
        onActivated();
    return QWidget::event(event);
}

void TResultsForm::closeEvent(QCloseEvent *event)
{
    // Hidden, not destroyed: F8 or the switch shows it again.
    event->accept();
    if (onClosed)
        onClosed();
}
