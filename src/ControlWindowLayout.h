#pragma once
// The control window's design as one table: every component's name, kind,
// parent, rectangle, caption, font and text colours, and the Tab walk.
// setupUi builds the window from it, as Qt Designer's generated classes do,
// and sets each component pointer below; the object names are the same words,
// as the operator's guide and the tests know them.

class ClassicButton;
class FileDropTarget;
class FileOpenEdit;
class PreviewMemo;
class QLabel;
class QTimer;
class QWidget;
class RockerSwitch;
class ScbCheckBox;
class ScbGroupBox;
class SpinEdit;

// The preview's design-time text: the start list shown before any file loads.
const char *designStartList();

struct ControlWindowUi
{
    QWidget *LMDSimplePanel1 = nullptr;
    QWidget *LMDSimplePanel2 = nullptr;
    ScbGroupBox *LMDGroupBox1 = nullptr;
    ScbGroupBox *GroupBoxPreview = nullptr;
    ScbGroupBox *GroupBox1 = nullptr;
    ScbGroupBox *GroupBox2 = nullptr;
    ScbGroupBox *GroupBox4 = nullptr;
    QLabel *Label1 = nullptr;
    FileOpenEdit *XMLFile = nullptr;
    PreviewMemo *MainMemo = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    SpinEdit *ScreenLeft = nullptr;
    SpinEdit *ScreenTop = nullptr;
    SpinEdit *ScreenWidth = nullptr;
    SpinEdit *ScreenHeight = nullptr;
    ClassicButton *Button1 = nullptr;
    ClassicButton *Button2 = nullptr;
    ClassicButton *LMDButton4 = nullptr;
    ClassicButton *ButtonBackgroundImage = nullptr;
    RockerSwitch *ResultsButton = nullptr;
    ScbCheckBox *ScbBorder = nullptr;
    ClassicButton *ButtonClose = nullptr;
    FileDropTarget *LMDFMDrop1 = nullptr;
    QTimer *Timer1 = nullptr;
    QTimer *CursorTimer = nullptr;

    // Sizes and colours the form and builds its components, the timers and
    // the drop target included, stopped and unconnected.
    void setupUi(QWidget *form);

    // Fits the two panels to the form: the status bar along the bottom, the
    // controls above it.
    void placePanels(QWidget *form);
};
