#include "Unit_Results.h"

#include "Application.h"
#include "core/GridLayout.h"
#include "widgets/BackgroundPicture.h"
#include "widgets/Dialogs.h"
#include "widgets/QtConvert.h"
#include "widgets/ScbGrid.h"

#include <QCloseEvent>
#include <QFile>
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
    setGeometry(r.left, r.top, r.width, r.height);
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
        move(x() - 10, y());
        break;
    case Qt::Key_Right:
        move(x() + 10, y());
        break;
    default:
        break;
    }
}

void TResultsForm::closeEvent(QCloseEvent *event)
{
    // Hidden, not destroyed: F8 or the switch shows it again.
    event->accept();
    if (onClosed)
        onClosed();
}
