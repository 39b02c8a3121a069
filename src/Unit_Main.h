#pragma once
// The control window: the operator's console and the program's main window.
// It owns the display state and the board model, and only wires: a tick's
// snapshot goes into the model, and what changed goes out to the views (the
// preview, the status label, the scoreboard window and, through
// viewChanged(), any other). The rules live in core, the looks in the widgets.

#include <QPoint>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <QImage>

#include "ControlWindowLayout.h"
#include "Unit_Results.h"
#include "core/BoardLayout.h"
#include "core/BoardModel.h"
#include "core/BoardView.h"
#include "core/DisplayState.h"
#include "core/Settings.h"
#include "adapters/BackgroundFiles.h"
#include "adapters/PointerHider.h"
#include "widgets/GradientFill.h"

class Dialogs;
class DisplayFileFeed;
class QShowEvent;

// The design's components are the window's own (ControlWindowUi), named as
// the operator's guide knows them; tests find them by object name, and run
// the handlers by name, as the events would.
class TSCBForm : public QWidget, private ControlWindowUi
{
    Q_OBJECT
public:
    explicit TSCBForm(QWidget *parent = nullptr);
    ~TSCBForm() override;

    // The scoreboard window is created after this one; start-up wires them.
    void setResultsForm(TResultsForm *results);

    scb::DisplayState &state() { return m_state; }
    const scb::BoardModel &board() const { return m_board; }
    // The picture behind the rows, while the state says one is loaded.
    const QImage &backgroundPicture() const { return m_picture; }
    // What the board shows, as one value for views outside the windows; the
    // same value viewChanged() carries.
    const scb::BoardView &boardView() const { return m_view; }

    // Where browsers find the board, shown at the caption's end from the
    // first show on; empty when the board is not served.
    void setServedAt(const QString &url) { m_servedAt = url; }

    // Replaces the modal dialogs (tests answer them).
    void setDialogs(std::shared_ptr<Dialogs> dialogs) { m_dialogs = std::move(dialogs); }
    // The pointer's screen position (tests drive it).
    std::function<QPoint()> mousePos;
    // The local time for the failure report (tests fix it).
    std::function<std::tm()> localTime;

    bool pointerHidden() const { return m_pointer.hidden(); }

    // The poll tick's look and the folder watch (tests stand their own look
    // in, or turn the watch off).
    DisplayFileFeed &displayFileFeed() const { return *m_feed; }
    // Every call both windows make to the file system passes the gate first,
    // on the worker that makes it (tests stand in a share that stops
    // answering).
    void setFileSystemGate(scb::FileSystemGate gate);

signals:
    // The rows, the layout, the picture or the board's visibility changed.
    void viewChanged(const scb::BoardView &view);

private slots:
    // The design's events (tests run them by name, as the events would).
    void FormShow();
    bool FormClose();
    void Timer1Timer();
    void CursorTimerTimer();
    void FormActivate();
    void FormDeactivate();
    void FormKeyUp(QKeyEvent *event);
    void ScreenLeftChange();
    void ResultsButtonClick();
    void ToggleScoreboard();
    void ButtonCloseClick();
    void LMDFMDrop1FMDragDrop(QObject *sender, int fcount, int x, int y, const QStringList &fileList);
    void Button1Click();
    void LMDButton4Click();
    void Button2Click();
    void ButtonBackgroundImageClick();
    void ScbBorderChange();
    void XMLFileChange();
    void LoadBackgroundImage();

private:
    // Push the display state onto the scoreboard window.
    void ApplyScoreboardLayout();

    TResultsForm *ResultsForm = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    // The rectangle from the four spin edits' texts; throws for a
    // non-integer text before anything changes, and keeps why until mended.
    void takeBoardRect();
    void loadSettings();
    void applyLook(scb::FileSnapshot &&snapshot);
    void showPicture(const std::string &path, PictureLoad &&load);
    void chooseColor(scb::Color &color);

    scb::DisplayState m_state;
    std::string m_rectRefused; // why the edits' text is no rectangle, while it is not
    scb::SettingsFile m_settings;
    GradientFill m_gradient;
    std::shared_ptr<Dialogs> m_dialogs;
    bool m_shownOnce = false;
    QString m_servedAt;
    PointerHider m_pointer;
    DisplayFileFeed *m_feed = nullptr;
    scb::BoardModel m_board;
    scb::BoardLayout m_layout; // the last one the scoreboard window was given
    scb::BoardView m_view;     // kept at each change, pushed through viewChanged()
    QImage m_picture; // the last picture loaded: the source the cells copy from
    // The start-up's choice of display file, the picture and its folder,
    // each on a bounded worker; the settings file alone is read and written
    // on the interface thread, at start-up and at close.
    BackgroundFiles m_files;
};
