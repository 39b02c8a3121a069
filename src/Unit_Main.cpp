#include "Unit_Main.h"

#include "Application.h"
#include "ControlWindowLayout.h"
#include "core/Error.h"
#include "core/SessionRules.h"
#include "core/Version.h"
#include "core/platform/Platform.h"
#include "adapters/Dialogs.h"
#include "widgets/FileDropTarget.h"
#include "widgets/FileOpenEdit.h"
#include "adapters/BackgroundPicture.h"
#include "adapters/DisplayFileFeed.h"
#include "widgets/PreviewMemo.h"
#include "adapters/BoardViewOf.h"
#include "widgets/ScbGrid.h"
#include "adapters/QtConvert.h"
#include "widgets/ClassicButton.h"
#include "widgets/RockerSwitch.h"
#include "widgets/ScbCheckBox.h"
#include "widgets/SpinEdit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>

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
    setupUi(this);
    m_board.edit(designStartList());
    MainMemo->showLines(m_board.lines());
    // A spin edit holding a lone "-" stops the layout: every handler may fail.
    const auto on = [this](auto handler) { return Application::guarded(this, handler); };
    connect(Timer1, &QTimer::timeout, this, on(&TSCBForm::Timer1Timer));
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
    connect(LMDFMDrop1, &FileDropTarget::fmDragDrop, this, on(&TSCBForm::LMDFMDrop1FMDragDrop));
    m_feed = new DisplayFileFeed(Timer1, Application::postTo(this),
                                 [this](scb::FileSnapshot &&snapshot) { applyLook(std::move(snapshot)); }, this);
    connect(m_feed, &DisplayFileFeed::fileFinished, this, Application::guarded([this] { Timer1Timer(); }));
    // The operator's edits are the one way a view writes into the model.
    connect(MainMemo, &PreviewMemo::edited, this, [this](const std::string &text) { m_board.edit(text); });
    m_board.onTextChanged = [this] { MainMemo->showLines(m_board.lines()); };
    // The views hear the board as open or closed as soon as the switch says
    // so; the window's own visibility lags behind while a close or show
    // event is still under way.
    connect(ResultsButton, &RockerSwitch::toggled, this, [this](bool on) { m_view.shown = on && ResultsForm; });
    Application::setKeyPreview(this, [this](QKeyEvent *e) { FormKeyUp(e); });
}

TSCBForm::~TSCBForm() = default;

void TSCBForm::setResultsForm(TResultsForm *results)
{
    ResultsForm = results;
    m_view.shown = ResultsButton->isChecked();
    // F8 there toggles the board, and its closing turns the switch off.
    connect(results, &TResultsForm::toggleRequested, this, Application::guarded([this] { ToggleScoreboard(); }));
    connect(results, &TResultsForm::closed, this, [this] {
        ResultsButton->setChecked(false);
        emit viewChanged(m_view);
    });
    // However the board became active (from this window, or from another
    // application), the pointer hiding runs while it is.
    connect(results, &TResultsForm::activated, this, [this] {
        if (!CursorTimer->isActive())
            CursorTimer->start();
    });
}

void TSCBForm::takeBoardRect()
{
    try {
        m_state.Choices.Screen = scb::readBoardRect({ScreenLeft->text().toStdString(), ScreenTop->text().toStdString(),
                                                     ScreenWidth->text().toStdString(), ScreenHeight->text().toStdString()});
        m_rectRefused.clear();
    } catch (const std::exception &e) {
        m_rectRefused = e.what();
        throw;
    }
}

void TSCBForm::ApplyScoreboardLayout()
{
    if (m_state.Starting || !ResultsForm)
        return;
    // The edits' text is the rectangle: while one is no integer, every layout
    // step stops on it, as the edit's own change did.
    if (!m_rectRefused.empty())
        throw scb::Error(m_rectRefused);
    m_layout = {m_state.Choices.Screen, m_state.Choices.Look};
    ResultsForm->applyLayout(m_layout);
    m_view.style = boardStyleOf(m_layout, ResultsForm->scbGrid()->rowHeight());
    emit viewChanged(m_view);
}

void TSCBForm::LoadBackgroundImage()
{
    // Each call loads the path as it is now: a read still hanging on a share
    // that stopped answering is given up, and its picture never lands.
    const std::string path = m_state.Choices.Look.BackgroundImagePath;
    m_files.readPicture(path, [this, path](PictureLoad load) { showPicture(path, std::move(load)); });
}

void TSCBForm::showPicture(const std::string &path, PictureLoad &&load)
{
    if (const auto failure = takePictureFile(m_state, m_picture, path, std::move(load)))
        m_dialogs->message(this, *failure);
    if (ResultsForm)
        ResultsForm->setPicture(m_picture, m_state.BackgroundLoaded);
    m_view.picture = boardPictureOf(m_picture, m_state.BackgroundLoaded);
    emit viewChanged(m_view);
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
    const QString servedAt = m_servedAt.isEmpty() ? QString() : QStringLiteral(" \u2014 browsers: ") + m_servedAt;
    setWindowTitle(QStringLiteral("Torvane Zentrack Scoreboard Version ") + QLatin1String(scb::Version) + servedAt);
    const std::string cwd = scb::workingFolder();
    scb::beginStartUp(m_state, cwd);
    loadSettings();
    // A display file on a share that stopped answering must not hold up the
    // start-up: the choice lands once the share answers, unless the operator
    // has named another file by then.
    const std::string saved = m_state.Choices.DisplayFile;
    m_files.chooseDisplayFile(saved, cwd, [this, saved](const std::optional<std::string> &choice) {
        if (choice && m_state.Choices.DisplayFile == saved)
            XMLFile->setFilename(fromBytes(*choice));
    });
    ApplyScoreboardLayout();
    LoadBackgroundImage();
    m_feed->watch(m_state.Choices.DisplayFile);
    Timer1->start();
}

void TSCBForm::loadSettings()
{
    const scb::Settings s = m_settings.load(m_state.SettingsDir);
    // From here on the edits' change signals keep the choices. The path is
    // taken once its edit has accepted it, as a typed one would be.
    m_state.Choices = s;
    m_state.Choices.DisplayFile.clear();
    ScreenLeft->setValue(s.Screen.x);
    ScreenTop->setValue(s.Screen.y);
    ScreenWidth->setValue(s.Screen.width);
    ScreenHeight->setValue(s.Screen.height);
    // The edits clamp what they are given, and an edit already showing the
    // clamped value tells nothing.
    takeBoardRect();
    ScbBorder->setChecked(s.Look.ShowBorder);
    XMLFile->setFilename(fromBytes(s.DisplayFile));
}

bool TSCBForm::FormClose()
{
    m_feed->stop();
    // "No" keeps the other program's file and closes; a failed write keeps
    // the window open and the old file, unless the operator closes anyway.
    const auto replace = [this] { return m_dialogs->confirm(this, QString::fromLatin1(scb::ReplaceQuestion)); };
    try {
        if (!m_rectRefused.empty())
            throw scb::Error(m_rectRefused);
        m_settings.save(m_state.Choices, replace);
        return true;
    } catch (const std::exception &e) {
        const QString detail = fromBytes(scb::notSavedDetail(m_settings.path()));
        if (Application::reportError(QString::fromStdString(e.what()), detail, QStringLiteral("Close without saving")))
            return true;
    }
    // The window stays open, and so the board follows the display file.
    m_feed->resume(m_state.Choices.DisplayFile);
    return false;
}

void TSCBForm::closeEvent(QCloseEvent *event)
{
    if (!FormClose()) {
        event->ignore();
        return;
    }
    m_pointer.setHidden(false);
    event->accept();
    if (ResultsForm)
        ResultsForm->hide();
}

void TSCBForm::Timer1Timer()
{
    // The first tick ends start-up: from now on layout calls take effect.
    if (scb::endStartUp(m_state))
        ApplyScoreboardLayout();
    m_feed->look(m_state.Choices.DisplayFile, m_board.LastFileAge(), m_board.LastFingerprint());
}

void TSCBForm::applyLook(scb::FileSnapshot &&snapshot)
{
    scb::TickEnvironment env;
    env.now = localTime;
    env.timeSeparator = scb::localeTimeSeparator();
    // Not a failure, so the status report stays; the path's hint tells why
    // nothing changes.
    const bool missing = snapshot.stamp.age == -1 && !m_state.Choices.DisplayFile.empty();
    const QString hint = missing ? QStringLiteral("No such file") : QString();
    if (XMLFile->toolTip() != hint)
        XMLFile->setToolTip(hint);
    const scb::BoardChange change = m_board.apply(std::move(snapshot), env);
    if (change.statusChanged) {
        Label1->setText(fromBytes(m_board.status()));
        Label1->setToolTip(QString::fromStdString(m_board.statusReason()));
    }
    for (std::size_t r = 0; r < scb::RowCount; ++r) {
        if (change.rowsSet[r])
            m_view.rows[r] = m_board.rowLine(int(r));
    }
    if (ResultsForm)
        ResultsForm->setRows(m_view, change.rowsSet);
    if (change.rowsChanged.any())
        emit viewChanged(m_view);
}

void TSCBForm::setFileSystemGate(scb::FileSystemGate gate)
{
    m_files.setGate(gate);
    m_feed->setGate(std::move(gate));
}

void TSCBForm::ScreenLeftChange()
{
    takeBoardRect();
    ApplyScoreboardLayout();
    raise();
    activateWindow();
    m_pointer.setHidden(false);
}

void TSCBForm::ResultsButtonClick()
{
    if (!ResultsForm)
        return;
    ResultsForm->showBoard(ResultsButton->isChecked());
    // The layout tells the views, except during start-up, when it is not
    // applied yet.
    if (m_state.Starting)
        emit viewChanged(m_view);
    ApplyScoreboardLayout();
}

void TSCBForm::ToggleScoreboard()
{
    ResultsButton->setChecked(!ResultsButton->isChecked());
    ResultsButtonClick();
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
    m_pointer.setHidden(false);
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
    m_pointer.setHidden(scb::pointerResting(m_state, {p.x(), p.y()}));
}

void TSCBForm::Button1Click()
{
    const FontChoice initial{toQFont(m_state.Choices.Look.Font), toQColor(m_state.Choices.Look.Font.color)};
    if (const auto choice = m_dialogs->chooseFont(this, initial)) {
        assignFromQFont(m_state.Choices.Look.Font, choice->font);
        m_state.Choices.Look.Font.color = fromQColor(choice->color);
    }
    ApplyScoreboardLayout();
}

void TSCBForm::LMDButton4Click()
{
    chooseColor(m_state.Choices.Look.Font.color);
}

void TSCBForm::Button2Click()
{
    chooseColor(m_state.Choices.Look.BackColor);
}

void TSCBForm::chooseColor(scb::Color &color)
{
    if (const auto chosen = m_dialogs->chooseColor(this, toQColor(color)))
        color = fromQColor(*chosen);
    ApplyScoreboardLayout();
}

void TSCBForm::ButtonBackgroundImageClick()
{
    // The dialog cannot wait for a share that stopped answering: it then
    // opens without a folder.
    const QString initialDir = fromBytes(m_files.folderOfExisting(m_state.Choices.Look.BackgroundImagePath));
    if (const auto chosen = m_dialogs->choosePicture(this, initialDir)) {
        if (const auto why = scb::pathCannotBeKept(toBytes(*chosen))) {
            m_dialogs->message(this, QString::fromStdString(*why));
            return;
        }
        m_state.Choices.Look.BackgroundImagePath = toBytes(*chosen);
    } else if (m_dialogs->confirm(this, QStringLiteral("Clear the image?"))) {
        m_state.Choices.Look.BackgroundImagePath.clear();
    }
    LoadBackgroundImage();
}

// Typed, browsed or dropped alike: a path the settings file would keep cut is
// refused at once, while the operator still knows what they entered.
void TSCBForm::XMLFileChange()
{
    if (const auto why = scb::pathCannotBeKept(toBytes(XMLFile->filename()))) {
        XMLFile->setFilename(fromBytes(m_state.Choices.DisplayFile));
        m_dialogs->message(this, QString::fromStdString(*why));
        return;
    }
    m_state.Choices.DisplayFile = toBytes(XMLFile->filename());
}

void TSCBForm::ScbBorderChange()
{
    m_state.Choices.Look.ShowBorder = ScbBorder->isChecked();
    ApplyScoreboardLayout();
}

void TSCBForm::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_gradient.paint(painter, size());
}

void TSCBForm::resizeEvent(QResizeEvent *event)
{
    placePanels(this);
    QWidget::resizeEvent(event);
    update();
}
