#pragma once
// The scoreboard window: borderless, one column of twelve rows filling it. It
// shows the values it is given (layout, rows, picture) and tells the control
// window what the operator did here (F8, closed, activated); it reaches into
// no other window.

#include <QImage>
#include <QWidget>

#include <bitset>

#include "core/BoardLayout.h"
#include "core/BoardView.h"
#include "core/Geometry.h"

class ScbGrid;

class TResultsForm : public QWidget
{
    Q_OBJECT
public:
    explicit TResultsForm(QWidget *parent = nullptr);

    // Places the window (the rectangle is in desktop pixels) and styles it.
    void applyLayout(const scb::BoardLayout &layout);
    // Sets the rows marked in which from the view; each repaints even when
    // its text is the same.
    void setRows(const scb::BoardView &view, const std::bitset<scb::RowCount> &which);
    // Shown in front and active, or hidden.
    void showBoard(bool visible);
    // The picture the cells copy from while shown is true.
    void setPicture(const QImage &picture, bool shown);

    ScbGrid *scbGrid() const { return m_grid; }
    QWidget *panelFill() const { return m_panelFill; }

    // Key preview: F8, Left and Right released anywhere in this window.
    void FormKeyUp(QKeyEvent *event);

signals:
    void toggleRequested(); // F8 released here
    void closed();          // closed by other means than the switch or F8
    void activated();       // became the program's active window

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Left and Right move the board by desktop pixels, the rectangle's unit.
    void nudge(int desktopPixels);

    QWidget *m_panelFill = nullptr; // PanelFill
    ScbGrid *m_grid = nullptr;      // ScbGrid
    // Where the board should be, in desktop pixels; on a scaled desktop the
    // window may only come near it.
    scb::Rect m_desktopRect;
};
