#include "Unit_Results.h"

#include "Application.h"
#include "core/Desktop.h"
#include "core/GridLayout.h"
#include "adapters/QtConvert.h"
#include "widgets/ScbGrid.h"

#include <QCloseEvent>
#include <QKeyEvent>

TResultsForm::TResultsForm(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
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

    Application::setKeyPreview(this, [this](QKeyEvent *e) { FormKeyUp(e); });
}

void TResultsForm::resizeEvent(QResizeEvent *event)
{
    m_panelFill->setGeometry(rect());
    m_grid->setGeometry(m_panelFill->rect());
    QWidget::resizeEvent(event);
}

void TResultsForm::applyLayout(const scb::BoardLayout &layout)
{
    m_desktopRect = layout.rect;
    setGeometry(toQRect(scb::desktopToWindow(m_desktopRect, desktopScreens())));
    m_panelFill->setGeometry(rect());
    m_grid->setGeometry(m_panelFill->rect());

    m_grid->setBorder(layout.look.ShowBorder);
    const QColor back = toQColor(layout.look.BackColor);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, back);
    setPalette(pal);
    const QFont font = toQFont(layout.look.Font);
    setFont(font);
    m_grid->setGridColor(back);
    m_grid->setGridFont(font);
    m_grid->setTextColor(toQColor(layout.look.Font.color));

    const scb::GridLayout g = scb::gridLayout(width(), height());
    m_grid->setColumnWidth(g.columnWidth);
    m_grid->setRowHeight(g.rowHeight);
    m_grid->update();
}

void TResultsForm::setRows(const scb::BoardView &view, const std::bitset<scb::RowCount> &which)
{
    for (int row = 0; row < scb::RowCount; ++row) {
        if (which[static_cast<std::size_t>(row)])
            m_grid->setCell(row, view.rows[static_cast<std::size_t>(row)]);
    }
}

void TResultsForm::showBoard(bool visible)
{
    setVisible(visible);
    if (visible) {
        raise();
        activateWindow();
    }
}

void TResultsForm::setPicture(const QImage &picture, bool shown)
{
    m_grid->setPicture(picture, shown);
}

void TResultsForm::FormKeyUp(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return;
    switch (event->key()) {
    case Qt::Key_F8:
        emit toggleRequested();
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
    // Counted from where the boxes and the keys put the board, not from the
    // pixel it landed on: on a scaled desktop that may be off by one, and each
    // press would add its own rounding. Moved by other means (the window
    // manager), it goes on from where it is.
    const std::vector<scb::DesktopScreen> screens = desktopScreens();
    if (toQRect(scb::desktopToWindow(m_desktopRect, screens)) != geometry())
        m_desktopRect = scb::windowToDesktop(fromQRect(geometry()), screens);
    m_desktopRect.x += desktopPixels;
    move(toQRect(scb::desktopToWindow(m_desktopRect, screens)).topLeft());
}

bool TResultsForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        emit activated();
    return QWidget::event(event);
}

void TResultsForm::closeEvent(QCloseEvent *event)
{
    // Hidden, not destroyed: F8 or the switch shows it again.
    event->accept();
    emit closed();
}
