#include "Unit_Main.h"

#include "Application.h"
#include "ControlWindowLayout.h"
#include "core/FileStamp.h"
#include "core/SessionRules.h"
#include "core/platform/Platform.h"
#include "core/Settings.h"
#include "widgets/ClassicButton.h"
#include "adapters/Dialogs.h"
#include "widgets/FileDropTarget.h"
#include "widgets/FileOpenEdit.h"
#include "adapters/BackgroundPicture.h"
#include "adapters/FileWatcher.h"
#include "widgets/PreviewMemo.h"
#include "adapters/QtConvert.h"
#include "widgets/RockerSwitch.h"
#include "widgets/ScbCheckBox.h"
#include "widgets/ScbGrid.h"
#include "widgets/SpinEdit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScopeGuard>
#include <QTimer>

#include <filesystem>
#include <optional>
#include <utility>

TSCBForm::TSCBForm(QWidget *parent)
    : QWidget(parent), m_dialogs(std::make_shared<SystemDialogs>(this)), m_files(Application::postTo(this))
{
    Application::setHomeWindow(this);
    setObjectName(QStringLiteral("SCBForm"));
    setWindowTitle(QStringLiteral("Torvane Scoreboard"));
    mousePos = [] { return QCursor::pos(); };
    localTime = [] { return scb::localTime(std::time(nullptr)); };
    buildLayout();
    connectHandlers();
    Application::setKeyPreview(this, [this](QKeyEvent *e) { FormKeyUp(e); });
}

TSCBForm::~TSCBForm()
{
    setPointerHidden(false);
}

void TSCBForm::buildLayout()
{
    buildControlWindow(*this);
    m_board.edit(designStartList());
    MainMemo->showLines(m_board.lines());
}

void TSCBForm::connectHandlers()
{
    connectControlWindow(*this);
    // A finished display file runs the same tick at once; Timer1 remains for
    // what no watch sees (network shares, edits of the preview).
    m_fileWatcher = new FileWatcher(this);
    m_fileWatcher->setObjectName(QStringLiteral("FileWatcher"));
    connect(m_fileWatcher, &FileWatcher::fileFinished, this, Application::guarded([this] { Timer1Timer(); }));
    // The operator's edits are the one way a view writes into the model.
    connect(MainMemo, &PreviewMemo::edited, this, [this](const std::string &text) { m_board.edit(text); });
    m_board.onTextChanged = [this] { MainMemo->showLines(m_board.lines()); };
}

void TSCBForm::setResultsForm(TResultsForm *results)
{
    ResultsForm = results;
    connect(results, &TResultsForm::toggleRequested, this, Application::guarded([this] { ToggleScoreboard(); }));
    connect(results, &TResultsForm::closed, this, [this] {
        ResultsButton->setChecked(false);
        emit viewChanged();
    });
    // However the board became active (from this window, or from another
    // application), the pointer hiding runs while it is.
    connect(results, &TResultsForm::activated, this, [this] {
        if (!CursorTimer->isActive())
            CursorTimer->start();
    });
}

void TSCBForm::setDialogs(std::shared_ptr<Dialogs> dialogs)
{
    m_dialogs = std::move(dialogs);
}

scb::BoardLayout TSCBForm::boardLayout() const
{
    return scb::boardLayout(m_state, {ScreenLeft->text().toStdString(), ScreenTop->text().toStdString(),
                                      ScreenWidth->text().toStdString(), ScreenHeight->text().toStdString()});
}

void TSCBForm::ApplyScoreboardLayout()
{
    if (m_state.Starting || !ResultsForm)
        return;
    m_layout = boardLayout();
    ResultsForm->applyLayout(m_layout);
    emit viewChanged();
}

scb::BoardView TSCBForm::boardView() const
{
    const bool shown = ResultsForm && ResultsForm->isVisible();
    return boardViewOf(m_board, m_layout, ResultsForm ? ResultsForm->size() : QSize(), m_picture,
                       m_state.BackgroundLoaded, shown);
}

void TSCBForm::LoadBackgroundImage()
{
    // Each call loads the path as it is now: a read still hanging on a share
    // that stopped answering is given up, and its picture never lands.
    const std::string path = m_state.BackgroundImagePath;
    m_files.readPicture(path, [this, path](const scb::PictureFile &file) { showPicture(path, file); });
}

void TSCBForm::showPicture(const std::string &path, const scb::PictureFile &file)
{
    if (const auto failure = takePictureFile(m_state, m_picture, path, file))
        m_dialogs->message(this, *failure);
    if (ResultsForm)
        ResultsForm->setPicture(m_picture, m_state.BackgroundLoaded);
    emit viewChanged();
}

void TSCBForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    centreOnScreenOnceFramed(this, this);
    FormShow();
}

void TSCBForm::FormShow()
{
    setWindowTitle(QStringLiteral("Torvane Zentrack Scoreboard Version 1.3"));
    const std::string cwd = scb::workingFolder();
    scb::beginStartUp(m_state, cwd);
    scb::removeStaleTemporaries(scb::settingsPath(cwd));
    loadSettings();
    // A display file on a share that stopped answering must not hold up the
    // start-up: the choice lands once the share answers, unless the operator
    // has named another file by then.
    const std::string saved = toBytes(XMLFile->filename());
    m_files.chooseDisplayFile(saved, cwd, [this, saved](const std::optional<std::string> &choice) {
        if (choice && toBytes(XMLFile->filename()) == saved)
            XMLFile->setFilename(fromBytes(*choice));
    });
    ApplyScoreboardLayout();
    LoadBackgroundImage();
    m_fileWatcher->setPath(toBytes(XMLFile->filename()));
    Timer1->start();
}

void TSCBForm::loadSettings()
{
    const scb::Settings s = scb::readSettings(scb::settingsPath(m_state.SettingsDir), &m_settingsSeen);
    ScreenLeft->setValue(s.Left);
    ScreenTop->setValue(s.Top);
    ScreenWidth->setValue(s.Width);
    ScreenHeight->setValue(s.Height);
    scb::takeSettings(m_state, s);
    ScbBorder->setChecked(s.ShowBorder);
    XMLFile->setFilename(fromBytes(s.DisplayFile));
}

bool TSCBForm::FormClose()
{
    Timer1->stop();
    m_fileWatcher->setPath({});
    // Written to the folder captured at start-up, whatever the working
    // directory is now. A failure keeps the window open and the old file.
    const std::string ini = scb::settingsPath(m_state.SettingsDir);
    // A second instance (or an editor) saved since start-up: writing now
    // would silently undo that. "No" keeps its file and closes.
    if (scb::rewrittenSince(m_settingsSeen, ini)
        && !m_dialogs->confirm(this, QStringLiteral("Resolution.ini has been changed by another program since "
                                                    "start-up. Replace it with the settings of this window?")))
        return true;
    try {
        m_settingsSeen = scb::writeSettings(ini, scb::settingsOf(m_state, boardLayout().rect, toBytes(XMLFile->filename())));
    } catch (const std::exception &e) {
        Application::reportError(QString::fromStdString(e.what()));
        return false;
    }
    return true;
}

void TSCBForm::closeEvent(QCloseEvent *event)
{
    if (!FormClose()) {
        event->ignore();
        return;
    }
    setPointerHidden(false);
    event->accept();
    if (ResultsForm)
        ResultsForm->hide();
}

void TSCBForm::Timer1Timer()
{
    // The first tick ends start-up: from now on layout calls take effect.
    if (scb::endStartUp(m_state))
        ApplyScoreboardLayout();
    // The previous look still hangs on the file system: this tick is dropped
    // rather than queued behind it; the pending one lands when it can.
    if (m_files.lookPending())
        return;
    const std::string path = toBytes(XMLFile->filename());
    m_fileWatcher->setPath(path);
    // The next tick counts from the end of this one, however it ends.
    const auto restart = qScopeGuard([timer = Timer1, on = Timer1->isActive()] {
        if (on)
            timer->start();
    });
    Timer1->stop();
    auto landLater = [this](scb::FileSnapshot snapshot) {
        // Applied even when XMLFile changed meanwhile: the next tick looks at
        // the new path, and the stamp stored here then differs from it anyway.
        applyLook(std::move(snapshot));
        if (Timer1->isActive())
            Timer1->start();
    };
    if (auto snapshot = m_files.look(path, m_state.LastFileAge, m_state.LastFingerprint, landLater))
        applyLook(std::move(*snapshot));
}

void TSCBForm::applyLook(scb::FileSnapshot &&snapshot)
{
    scb::TickEnvironment env;
    env.now = localTime;
    env.timeSeparator = scb::localeTimeSeparator();
    const scb::BoardChange change = m_board.apply(m_state, std::move(snapshot), env);
    if (change.statusChanged) {
        Label1->setText(fromBytes(m_board.status()));
        Label1->setToolTip(QString::fromStdString(m_board.statusReason()));
    }
    if (ResultsForm) {
        for (int row = 0; row < scb::RowCount; ++row) {
            if (change.rowsSet[static_cast<std::size_t>(row)])
                ResultsForm->setRow(row, m_board.row(row));
        }
    }
    if (change.rowsChanged.any())
        emit viewChanged();
}

void TSCBForm::setFileLook(scb::LookFunction look)
{
    m_files.setLook(std::move(look));
}

void TSCBForm::setFileSystemGate(scb::FileSystemGate gate)
{
    m_files.setGate(gate);
    m_fileWatcher->setFileSystemGate(std::move(gate));
}

void TSCBForm::setFileWatchEnabled(bool enabled)
{
    m_fileWatcher->setEnabled(enabled);
}

bool TSCBForm::fileWatchEnabled() const
{
    return m_fileWatcher->isEnabled();
}

void TSCBForm::ScreenLeftChange()
{
    ApplyScoreboardLayout();
    raise();
    activateWindow();
    setPointerHidden(false);
}

void TSCBForm::showScoreboard(bool visible)
{
    if (!ResultsForm)
        return;
    ResultsForm->setVisible(visible);
    if (visible) {
        ResultsForm->raise();
        ResultsForm->activateWindow();
    }
    emit viewChanged();
}

void TSCBForm::ResultsButtonClick()
{
    showScoreboard(ResultsButton->isChecked());
    ApplyScoreboardLayout();
}

void TSCBForm::ToggleScoreboard()
{
    ResultsButton->setChecked(!ResultsButton->isChecked());
    showScoreboard(ResultsButton->isChecked());
    ApplyScoreboardLayout();
}

void TSCBForm::FormKeyUp(QKeyEvent *event)
{
    if (!event->isAutoRepeat() && event->key() == Qt::Key_F8)
        ToggleScoreboard();
}

void TSCBForm::ButtonCloseClick()
{
    close();
}

void TSCBForm::LMDFMDrop1FMDragDrop(QObject *, int, int, int, const QStringList &fileList)
{
    if (fileList.isEmpty())
        return;
    raise();
    activateWindow();
    XMLFile->setFilename(fileList.constFirst());
}

bool TSCBForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    else if (event->type() == QEvent::WindowDeactivate)
        FormDeactivate();
    return QWidget::event(event);
}

void TSCBForm::FormActivate()
{
    CursorTimer->stop();
    setPointerHidden(false);
}

void TSCBForm::FormDeactivate()
{
    // Only a move to another of the program's windows counts; switching to
    // another application leaves the pointer alone.
    QWidget *active = QApplication::activeWindow();
    if (active && active != this)
        CursorTimer->start();
}

void TSCBForm::CursorTimerTimer()
{
    const QPoint p = mousePos();
    setPointerHidden(scb::pointerResting(m_state, {p.x(), p.y()}));
}

void TSCBForm::setPointerHidden(bool hidden)
{
    if (hidden == m_pointerHidden)
        return;
    m_pointerHidden = hidden;
    if (hidden)
        QApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    else
        QApplication::restoreOverrideCursor();
}

void TSCBForm::Button1Click()
{
    const FontChoice initial{toQFont(m_state.Font), toQColor(m_state.Font.color)};
    if (const auto choice = m_dialogs->chooseFont(this, initial)) {
        assignFromQFont(m_state.Font, choice->font);
        m_state.Font.color = fromQColor(choice->color);
    }
    ApplyScoreboardLayout();
}

void TSCBForm::LMDButton4Click()
{
    if (const auto color = m_dialogs->chooseColor(this, toQColor(m_state.Font.color)))
        m_state.Font.color = fromQColor(*color);
    ApplyScoreboardLayout();
}

void TSCBForm::Button2Click()
{
    if (const auto color = m_dialogs->chooseColor(this, toQColor(m_state.BackColor)))
        m_state.BackColor = fromQColor(*color);
    ApplyScoreboardLayout();
}

void TSCBForm::ButtonBackgroundImageClick()
{
    // The dialog cannot wait for a share that stopped answering: it then
    // opens without a folder.
    QString initialDir;
    const std::string current = m_state.BackgroundImagePath;
    if (!current.empty() && m_files.fileExists(current))
        initialDir = fromBytes(std::filesystem::path(current).parent_path().string());
    if (const auto chosen = m_dialogs->choosePicture(this, initialDir)) {
        if (const auto why = scb::pathCannotBeKept(toBytes(*chosen))) {
            m_dialogs->message(this, QString::fromStdString(*why));
            return;
        }
        m_state.BackgroundImagePath = toBytes(*chosen);
    } else if (m_dialogs->confirm(this, QStringLiteral("Clear the image?"))) {
        m_state.BackgroundImagePath.clear();
    }
    LoadBackgroundImage();
}

// Typed, browsed or dropped alike: a path the settings file would keep cut is
// refused at once, while the operator still knows what they entered.
void TSCBForm::XMLFileChange()
{
    if (const auto why = scb::pathCannotBeKept(toBytes(XMLFile->filename()))) {
        XMLFile->setFilename(m_keptDisplayFile);
        m_dialogs->message(this, QString::fromStdString(*why));
        return;
    }
    m_keptDisplayFile = XMLFile->filename();
}

void TSCBForm::ScbBorderChange()
{
    m_state.ShowBorder = ScbBorder->isChecked();
    ApplyScoreboardLayout();
}

void TSCBForm::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_gradient.paint(painter, size());
}

void TSCBForm::resizeEvent(QResizeEvent *event)
{
    const int bottom = 40;
    LMDSimplePanel1->setGeometry(0, 0, width(), std::max(0, height() - bottom));
    LMDSimplePanel2->setGeometry(0, std::max(0, height() - bottom), width(), bottom);
    QWidget::resizeEvent(event);
    update();
}
