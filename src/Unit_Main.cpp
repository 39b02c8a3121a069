#include "Unit_Main.h"

#include "Application.h"
#include "ControlWindowLayout.h"
#include "core/Error.h"
#include "core/FileStamp.h"
#include "core/platform/Platform.h"
#include "core/Settings.h"
#include "widgets/ClassicButton.h"
#include "widgets/Dialogs.h"
#include "widgets/FileDropTarget.h"
#include "widgets/FileOpenEdit.h"
#include "widgets/FileWatcher.h"
#include "widgets/PreviewMemo.h"
#include "widgets/QtConvert.h"
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
#include <QTimer>

#include <filesystem>
#include <optional>
#include <utility>

namespace {

std::string currentDirectory()
{
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::current_path(ec);
    return ec ? std::string(".") : p.string();
}

} // namespace

TSCBForm::TSCBForm(QWidget *parent)
    : QWidget(parent),
      m_dialogs(std::make_shared<SystemDialogs>(this)),
      m_look(Application::postTo(this)),
      m_startCheck(Application::postTo(this)),
      m_pictureFolderCheck(Application::postTo(this))
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
    MainMemo->lines().setText(designStartList());
}

void TSCBForm::connectHandlers()
{
    // Every handler may fail (a spin edit holding a lone "-" stops the
    // layout); the failure is reported without unwinding through the control.
    auto on = [this](auto handler) { return Application::guarded([this, handler] { (this->*handler)(); }); };
    connect(Timer1, &QTimer::timeout, this, on(&TSCBForm::Timer1Timer));
    // A finished display file runs the same tick at once; Timer1 remains for
    // what no watch sees (network shares, edits of the preview).
    m_fileWatcher = new FileWatcher(this);
    m_fileWatcher->setObjectName(QStringLiteral("FileWatcher"));
    connect(m_fileWatcher, &FileWatcher::fileFinished, this, on(&TSCBForm::Timer1Timer));
    connect(CursorTimer, &QTimer::timeout, this, on(&TSCBForm::CursorTimerTimer));
    for (SpinEdit *edit : {ScreenLeft, ScreenTop, ScreenWidth, ScreenHeight})
        connect(edit, &SpinEdit::changed, this, on(&TSCBForm::ScreenLeftChange));
    connect(ResultsButton, &RockerSwitch::clicked, this, on(&TSCBForm::ResultsButtonClick));
    connect(ScbBorder, &ScbCheckBox::changed, this, on(&TSCBForm::ScbBorderChange));
    connect(Button1, &QPushButton::clicked, this, on(&TSCBForm::Button1Click));
    connect(LMDButton4, &QPushButton::clicked, this, on(&TSCBForm::LMDButton4Click));
    connect(Button2, &QPushButton::clicked, this, on(&TSCBForm::Button2Click));
    connect(ButtonBackgroundImage, &QPushButton::clicked, this, on(&TSCBForm::ButtonBackgroundImageClick));
    connect(ButtonClose, &QPushButton::clicked, this, on(&TSCBForm::ButtonCloseClick));
    connect(XMLFile, &FileOpenEdit::changed, this, on(&TSCBForm::XMLFileChange));
    connect(LMDFMDrop1, &FileDropTarget::fmDragDrop, this,
            [this](QObject *sender, int fcount, int x, int y, const QStringList &files) {
                Application::runGuarded([&] { LMDFMDrop1FMDragDrop(sender, fcount, x, y, files); });
            });
}

void TSCBForm::setResultsForm(TResultsForm *results)
{
    ResultsForm = results;
    results->rectSource = [this] { return scoreboardRect(); };
    results->onToggleRequest = [this] { ToggleScoreboard(); };
    results->onClosed = [this] { ResultsButton->setChecked(false); };
    // However the board became active (from this window, or from another
    // application), the pointer hiding runs while it is.
    results->onActivated = [this] {
        if (!CursorTimer->isActive())
            CursorTimer->start();
    };
    results->setDialogs(m_dialogs);
    results->setFileSystemGate(m_gate);
}

void TSCBForm::setDialogs(std::shared_ptr<Dialogs> dialogs)
{
    m_dialogs = std::move(dialogs);
    if (ResultsForm)
        ResultsForm->setDialogs(m_dialogs);
}

ScoreboardRect TSCBForm::scoreboardRect() const
{
    ScoreboardRect r;
    r.width = ScreenWidth->asInteger();
    r.height = ScreenHeight->asInteger();
    r.top = ScreenTop->asInteger();
    r.left = ScreenLeft->asInteger();
    return r;
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
    m_state.LastFileAge = 0;
    m_state.LastFingerprint = {};
    m_state.LastMousePos = {};
    m_state.FailureCount = 0;
    setWindowTitle(QStringLiteral("Torvane Zentrack Scoreboard Version 1.3"));
    m_state.Starting = true;
    const std::string cwd = currentDirectory();
    m_state.SettingsDir = cwd;
    scb::removeStaleTemporaries(scb::settingsPath(cwd));
    loadSettings();
    selectDisplayFile(cwd);
    if (ResultsForm) {
        ResultsForm->ApplyScoreboardLayout();
        ResultsForm->LoadBackgroundImage();
    }
    m_fileWatcher->setPath(toBytes(XMLFile->filename()));
    Timer1->start();
}

void TSCBForm::selectDisplayFile(const std::string &workingDirectory)
{
    // A display file on a share that stopped answering must not hold up the
    // start-up: the choice lands once the share answers, unless the operator
    // has named another file by then.
    const std::string loaded = toBytes(XMLFile->filename());
    const std::string fallback = (std::filesystem::path(workingDirectory) / "Main.txt").string();
    auto check = [loaded, fallback, gate = m_gate]() -> std::optional<std::string> {
        scb::passGate(gate, loaded);
        if (scb::fileAge(loaded) != -1)
            return std::nullopt;
        scb::passGate(gate, fallback);
        if (scb::fileAge(fallback) != -1)
            return fallback;
        return std::nullopt;
    };
    auto choose = [this, loaded](const std::optional<std::string> &choice) {
        if (choice && toBytes(XMLFile->filename()) == loaded)
            XMLFile->setFilename(fromBytes(*choice));
    };
    if (const auto choice = m_startCheck.run(check, scb::CallBound{}, choose))
        choose(*choice);
}

void TSCBForm::loadSettings()
{
    const scb::Settings s = scb::readSettings(scb::settingsPath(m_state.SettingsDir), &m_settingsSeen);
    ScreenLeft->setValue(s.Left);
    ScreenTop->setValue(s.Top);
    ScreenWidth->setValue(s.Width);
    ScreenHeight->setValue(s.Height);
    m_state.BackColor = s.BackColor;
    m_state.ShowBorder = s.ShowBorder;
    ScbBorder->setChecked(s.ShowBorder);
    m_state.Font = s.Font;
    XMLFile->setFilename(fromBytes(s.DisplayFile));
    m_state.BackgroundImagePath = s.BackgroundImage;
}

scb::Settings TSCBForm::currentSettings() const
{
    scb::Settings s;
    s.Left = ScreenLeft->asInteger();
    s.Top = ScreenTop->asInteger();
    s.Width = ScreenWidth->asInteger();
    s.Height = ScreenHeight->asInteger();
    s.BackColor = m_state.BackColor;
    s.ShowBorder = m_state.ShowBorder;
    s.Font = m_state.Font;
    s.DisplayFile = toBytes(XMLFile->filename());
    s.BackgroundImage = m_state.BackgroundImagePath;
    return s;
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
        m_settingsSeen = scb::writeSettings(ini, currentSettings());
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
    if (m_state.Starting) {
        m_state.Starting = false;
        if (ResultsForm)
            ResultsForm->ApplyScoreboardLayout();
    }
    // The previous look still hangs on the file system: this tick is dropped
    // rather than queued behind it; the pending one lands when it can.
    if (m_look.pending())
        return;

    const std::string path = toBytes(XMLFile->filename());
    m_fileWatcher->setPath(path);
    // The next tick counts from the end of this one.
    struct Restart
    {
        QTimer *timer;
        bool wasActive;
        ~Restart()
        {
            if (wasActive)
                timer->start();
        }
    } restart{Timer1, Timer1->isActive()};
    Timer1->stop();

    // A local stat answers in microseconds and a read takes what the file's
    // size needs, so the tick normally completes here, before Timer1Timer
    // returns. Only a look whose stat outlasts the bound (a share that
    // stopped answering) or whose read stalls lands later.
    auto look = [look = m_lookFunction, gate = m_gate, path, lastAge = m_state.LastFileAge,
                 lastPrint = m_state.LastFingerprint] {
        scb::passGate(gate, path);
        return look ? look(path, lastAge, lastPrint) : scb::lookAtFile(path, lastAge, lastPrint);
    };
    auto applyLater = [this](scb::FileSnapshot snapshot) {
        // Applied even when XMLFile changed meanwhile: the next tick looks at
        // the new path, and the stamp stored here then differs from it anyway.
        applyLook(std::move(snapshot));
        if (Timer1->isActive())
            Timer1->start();
    };
    if (std::optional<scb::FileSnapshot> snapshot = m_look.run(look, scb::CallBound{}, applyLater))
        applyLook(std::move(*snapshot));
}

void TSCBForm::applyLook(scb::FileSnapshot &&snapshot)
{
    scb::TickEnvironment env;
    env.now = localTime;
    env.timeSeparator = scb::localeTimeSeparator();
    applyTick(scb::applySnapshot(m_state, std::move(snapshot), MainMemo->lines(), env));
}

void TSCBForm::setFileLook(scb::LookFunction look)
{
    m_lookFunction = std::move(look);
}

void TSCBForm::setFileSystemGate(scb::FileSystemGate gate)
{
    m_gate = gate;
    m_fileWatcher->setFileSystemGate(gate);
    if (ResultsForm)
        ResultsForm->setFileSystemGate(std::move(gate));
}

void TSCBForm::setFileWatchEnabled(bool enabled)
{
    m_fileWatcher->setEnabled(enabled);
}

bool TSCBForm::fileWatchEnabled() const
{
    return m_fileWatcher->isEnabled();
}

void TSCBForm::applyTick(const scb::TickResult &result)
{
    if (result.status)
        Label1->setText(fromBytes(*result.status));
    if (result.statusReason)
        Label1->setToolTip(QString::fromStdString(*result.statusReason));
    if (!ResultsForm)
        return;
    for (int row = 0; row < scb::ScoreRows; ++row) {
        if (result.rows[row])
            ResultsForm->scbGrid()->setCell(row, *result.rows[row]);
    }
    ResultsForm->viewChanged();
}

void TSCBForm::ScreenLeftChange()
{
    if (ResultsForm)
        ResultsForm->ApplyScoreboardLayout();
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
}

void TSCBForm::ResultsButtonClick()
{
    showScoreboard(ResultsButton->isChecked());
    if (ResultsForm)
        ResultsForm->ApplyScoreboardLayout();
}

void TSCBForm::ToggleScoreboard()
{
    ResultsButton->setChecked(!ResultsButton->isChecked());
    showScoreboard(ResultsButton->isChecked());
    if (ResultsForm)
        ResultsForm->ApplyScoreboardLayout();
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
    setPointerHidden(p.x() == m_state.LastMousePos.x && p.y() == m_state.LastMousePos.y);
    m_state.LastMousePos = {p.x(), p.y()};
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
    if (ResultsForm)
        ResultsForm->ApplyScoreboardLayout();
}

void TSCBForm::LMDButton4Click()
{
    if (const auto color = m_dialogs->chooseColor(this, toQColor(m_state.Font.color)))
        m_state.Font.color = fromQColor(*color);
    if (ResultsForm)
        ResultsForm->ApplyScoreboardLayout();
}

void TSCBForm::Button2Click()
{
    if (const auto color = m_dialogs->chooseColor(this, toQColor(m_state.BackColor)))
        m_state.BackColor = fromQColor(*color);
    if (ResultsForm)
        ResultsForm->ApplyScoreboardLayout();
}

void TSCBForm::ButtonBackgroundImageClick()
{
    // The dialog cannot wait for a share that stopped answering: it then
    // opens without a folder, and the late answer is dropped.
    QString initialDir;
    const std::string current = m_state.BackgroundImagePath;
    if (!current.empty()) {
        auto exists = [current, gate = m_gate] {
            scb::passGate(gate, current);
            return scb::fileAge(current) != -1;
        };
        if (m_pictureFolderCheck.run(exists, scb::CallBound{}).value_or(false))
            initialDir = fromBytes(std::filesystem::path(current).parent_path().string());
    }
    if (const auto chosen = m_dialogs->choosePicture(this, initialDir)) {
        if (const auto why = scb::pathCannotBeKept(toBytes(*chosen))) {
            m_dialogs->message(this, QString::fromStdString(*why));
            return;
        }
        m_state.BackgroundImagePath = toBytes(*chosen);
    } else if (m_dialogs->confirm(this, QStringLiteral("Clear the image?"))) {
        m_state.BackgroundImagePath.clear();
    }
    if (ResultsForm)
        ResultsForm->LoadBackgroundImage();
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
    if (ResultsForm)
        ResultsForm->ApplyScoreboardLayout();
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
