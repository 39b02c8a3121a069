#pragma once
// The scoreboard window: borderless, one column of twelve rows filling it.
// It owns the two operations that push the display state onto it:
// ApplyScoreboardLayout and LoadBackgroundImage. The picture's file is read
// off the interface thread (see core/BoundedCall.h).

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>

#include "core/BoundedCall.h"
#include "core/BoardView.h"
#include "core/DisplayState.h"
#include "core/PictureCheck.h"

class Dialogs;
class ScbGrid;

// The rectangle the control window's four spin edits hold. Reading it may
// throw when the operator's typing leaves no integer in an edit.
struct ScoreboardRect
{
    // In desktop pixels, as the desktop's own tools show monitors, also on a
    // scaled desktop.
    int left = 801;
    int top = 0;
    int width = 800;
    int height = 600;
};

class TResultsForm : public QWidget
{
    Q_OBJECT
public:
    explicit TResultsForm(scb::DisplayState &state, QWidget *parent = nullptr);

    void ApplyScoreboardLayout();
    void LoadBackgroundImage();

    ScbGrid *scbGrid() const { return m_grid; }
    QWidget *panelFill() const { return m_panelFill; }
    const QImage &backgroundPicture() const { return m_picture; }

    std::function<ScoreboardRect()> rectSource;
    // F8 released here; the control window toggles the switch and visibility.
    std::function<void()> onToggleRequest;
    // The window closed by other means: the switch goes off.
    std::function<void()> onClosed;
    // The window became the program's active window.
    std::function<void()> onActivated;
    // The board's rows, look, picture or visibility changed: views outside
    // the windows read boardView() again.
    std::function<void()> onViewChanged;
    void viewChanged()
    {
        if (onViewChanged)
            onViewChanged();
    }
    // What the board shows, as a plain value.
    scb::BoardView boardView() const;
    // The plain message box of a failed picture load goes through these.
    void setDialogs(std::shared_ptr<Dialogs> dialogs) { m_dialogs = std::move(dialogs); }
    // Tests stand a share that stops answering in for the picture's folder.
    void setFileSystemGate(scb::FileSystemGate gate) { m_gate = std::move(gate); }

    // Key preview: F8, Left and Right released anywhere in this window.
    void FormKeyUp(QKeyEvent *event);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void showPicture(const std::string &path, scb::PictureFile file);
    // Left and Right move the board by desktop pixels, the rectangle's unit.
    void nudge(int desktopPixels);

    scb::DisplayState &m_state;
    QWidget *m_panelFill = nullptr; // PanelFill
    ScbGrid *m_grid = nullptr;      // ScbGrid
    std::shared_ptr<Dialogs> m_dialogs;
    QImage m_picture; // ScbImage2's picture: the source cells copy from
    scb::FileSystemGate m_gate;
    scb::BoundedCall<scb::PictureFile> m_pictureRead;
};
