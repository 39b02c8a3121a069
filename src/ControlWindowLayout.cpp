#include "ControlWindowLayout.h"

#include "core/Board.h"
#include "widgets/ClassicButton.h"
#include "widgets/FileDropTarget.h"
#include "widgets/FileOpenEdit.h"
#include "widgets/GroupBox.h"
#include "widgets/PreviewMemo.h"
#include "widgets/RockerSwitch.h"
#include "widgets/ScbCheckBox.h"
#include "widgets/SpinEdit.h"

#include <QGuiApplication>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <map>
#include <string_view>
#include <type_traits>

namespace {

// What a control is. The member's class builds it; the kind picks what it
// needs beyond its place, font and colours.
enum class Kind { Panel, Box, FileEdit, Memo, Label, StatusLabel, Spin, Button, Rocker, CheckBox, DropTarget, Timer };

// Which text colours a control sets for itself; the rest come from the window.
struct Ink
{
    enum Paint { None, Text, Edit } paint; // Edit: on white, keeping the platform's button text
    enum Tone { White, Black, Platform } tone; // Platform: whatever the window's own text colour is
};

constexpr Ink NoInk{Ink::None, Ink::White};
constexpr Ink WhiteText{Ink::Text, Ink::White}; // captions on the gradient
constexpr Ink BlackText{Ink::Text, Ink::Black};
constexpr Ink PlatformText{Ink::Text, Ink::Platform};
constexpr Ink BlackOnWhite{Ink::Edit, Ink::Black};
constexpr Ink PlatformOnWhite{Ink::Edit, Ink::Platform};

struct Font
{
    const char *family = nullptr; // nullptr: the parent's font
    int pixels = 0;
    bool bold = false;
};

constexpr Font ParentFont;
constexpr Font Verdana13{"Verdana", 13};
constexpr Font Verdana16{"Verdana", 16};
constexpr Font BigCaption{"MS Sans Serif", 16, true};
constexpr Font SmallCaption{"MS Sans Serif", 11, true};
// Verdana's stand-ins are as wide as it or wider, and four of their digits do
// not fit beside a spin edit's buttons; the Arial-metric face two pixels
// smaller keeps "9999" whole.
constexpr Font SpinDigitsStandIn{"Arial", 14};

struct Row;
// Builds the class the member holds and sets the member.
using Make = QObject *(*)(ControlWindowUi &, const Row &, QWidget *parent);

struct Row
{
    Make make;
    const char *name;
    Kind kind;
    const char *parent; // nullptr: the form
    QRect rect;
    const char *caption; // a rocker's is "unchecked|checked"
    Font font; // a group box's goes to its caption
    Ink ink;
    int scb::Rect::*value = nullptr; // a spin edit opens at this of the default rectangle
};

template <auto Member>
QObject *make(ControlWindowUi &ui, const Row &row, QWidget *parent);

// The member and the object name are the same word.
#define COMPONENT(member) &make<&ControlWindowUi::member>, #member

// In building order, which is also the order children stack and take focus in.
const Row Design[] = {
    // Placed now as well as at every resize, so the layout holds before the
    // window is first shown.
    {COMPONENT(LMDSimplePanel1), Kind::Panel, nullptr, {0, 0, 513, 390}, nullptr, ParentFont, NoInk},
    {COMPONENT(LMDSimplePanel2), Kind::Panel, nullptr, {0, 390, 513, 40}, nullptr, ParentFont, NoInk},
    {COMPONENT(LMDGroupBox1), Kind::Box, "LMDSimplePanel1", {24, 16, 457, 73},
     "Select Main.txt from Torvane Zentrack (or drag n drop)", BigCaption, NoInk},
    {COMPONENT(GroupBoxPreview), Kind::Box, "LMDSimplePanel1", {24, 102, 265, 200}, "Main.txt Preview",
     SmallCaption, NoInk},
    {COMPONENT(GroupBox1), Kind::Box, "LMDSimplePanel1", {312, 104, 169, 105}, "Screen Size", SmallCaption,
     NoInk},
    {COMPONENT(GroupBox2), Kind::Box, "LMDSimplePanel1", {24, 312, 457, 65}, "Fonts and colors", SmallCaption,
     NoInk},
    {COMPONENT(GroupBox4), Kind::Box, "LMDSimplePanel1", {336, 224, 113, 65}, "Scoreboard - F8", SmallCaption,
     NoInk},
    {COMPONENT(XMLFile), Kind::FileEdit, "LMDGroupBox1", {8, 32, 433, 21}, nullptr, Verdana16, BlackOnWhite},
    // The memo fills its box's client area, under the caption line that the
    // box's font gives, so it has no rectangle of its own.
    {COMPONENT(MainMemo), Kind::Memo, "GroupBoxPreview", {}, nullptr, {"Courier New", 8}, PlatformOnWhite},
    {COMPONENT(Label2), Kind::Label, "GroupBox1", {8, 16, 26, 16}, "Left", Verdana13, WhiteText},
    {COMPONENT(Label3), Kind::Label, "GroupBox1", {96, 16, 24, 16}, "Top", Verdana13, WhiteText},
    {COMPONENT(Label4), Kind::Label, "GroupBox1", {8, 64, 38, 16}, "Width", Verdana13, WhiteText},
    {COMPONENT(Label5), Kind::Label, "GroupBox1", {96, 64, 42, 16}, "Height", Verdana13, WhiteText},
    {COMPONENT(ScreenLeft), Kind::Spin, "GroupBox1", {8, 32, 57, 21}, nullptr, Verdana16, BlackOnWhite,
     &scb::Rect::x},
    {COMPONENT(ScreenTop), Kind::Spin, "GroupBox1", {96, 32, 57, 21}, nullptr, Verdana16, BlackOnWhite,
     &scb::Rect::y},
    {COMPONENT(ScreenWidth), Kind::Spin, "GroupBox1", {8, 80, 57, 21}, nullptr, Verdana16, BlackOnWhite,
     &scb::Rect::width},
    {COMPONENT(ScreenHeight), Kind::Spin, "GroupBox1", {96, 80, 57, 21}, nullptr, Verdana16, BlackOnWhite,
     &scb::Rect::height},
    {COMPONENT(Button1), Kind::Button, "GroupBox2", {8, 16, 180, 17}, "Font + Color", Verdana16, PlatformText},
    {COMPONENT(Button2), Kind::Button, "GroupBox2", {270, 16, 180, 17}, "Background", Verdana16, PlatformText},
    {COMPONENT(LMDButton4), Kind::Button, "GroupBox2", {8, 40, 180, 17}, "Custom Font Color", Verdana16,
     PlatformText},
    {COMPONENT(ButtonBackgroundImage), Kind::Button, "GroupBox2", {270, 40, 180, 17}, "Background Image",
     Verdana16, PlatformText},
    {COMPONENT(ResultsButton), Kind::Rocker, "GroupBox4", {16, 24, 80, 32}, "Closed|Open", {"Arial", 11, true},
     NoInk},
    {COMPONENT(ScbBorder), Kind::CheckBox, "LMDSimplePanel1", {312, 296, 193, 17}, "Show Scb Border", ParentFont,
     NoInk},
    // The design puts the status label under the check box, where a report
    // can't be read; it sits on the bottom panel beside the Close button.
    // A report is one line too wide for that room, and a line break is allowed
    // right after "Cnt:"; this width always breaks at the double space, so the
    // time stays on the first line and the whole count on the second.
    {COMPONENT(Label1), Kind::StatusLabel, "LMDSimplePanel2", {8, 2, 170, 36}, nullptr, Verdana13, WhiteText},
    {COMPONENT(ButtonClose), Kind::Button, "LMDSimplePanel2", {216, 8, 75, 25}, "Close", Verdana16, BlackText},
    {COMPONENT(LMDFMDrop1), Kind::DropTarget, nullptr, {}, nullptr, ParentFont, NoInk},
    {COMPONENT(Timer1), Kind::Timer, nullptr, {}, nullptr, ParentFont, NoInk},
    {COMPONENT(CursorTimer), Kind::Timer, nullptr, {}, nullptr, ParentFont, NoInk},
};

#undef COMPONENT

// The Tab walk, by object name.
const char *const TabOrder[] = {"XMLFile", "MainMemo", "ScreenLeft", "ScreenTop", "ScreenWidth",
                                "ScreenHeight", "Button1", "Button2", "LMDButton4", "ButtonBackgroundImage",
                                "ScbBorder", "ButtonClose"};

QFont pixelFont(const Font &font)
{
    const QString family = QString::fromLatin1(font.family);
    QFont f(family);
    // Without the old bitmap face the default sans face stands in, and it is
    // so much wider that the file box's caption no longer fits its box; the
    // Arial-metric faces keep the design's caption widths.
    if (family == QLatin1String("MS Sans Serif"))
        f.setFamilies({family, QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                       QStringLiteral("Liberation Sans")});
    f.setPixelSize(font.pixels);
    f.setBold(font.bold);
    return f;
}

void setTextColor(QWidget *w, const QColor &color)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, color);
    pal.setColor(QPalette::Text, color);
    pal.setColor(QPalette::ButtonText, color);
    w->setPalette(pal);
}

// Edits keep dark text on white whatever the window's own text colour is;
// spin and browse buttons keep the platform's button text.
void setEditColors(QWidget *w, const QColor &text)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::ButtonText, QGuiApplication::palette().color(QPalette::ButtonText));
    pal.setColor(QPalette::WindowText, QGuiApplication::palette().color(QPalette::WindowText));
    w->setPalette(pal);
}

void setInk(QWidget *w, Ink ink)
{
    if (ink.paint == Ink::None)
        return;
    const QColor tone = ink.tone == Ink::White   ? QColor(Qt::white)
                        : ink.tone == Ink::Black ? QColor(Qt::black)
                                                 : QGuiApplication::palette().color(QPalette::WindowText);
    (ink.paint == Ink::Text ? setTextColor : setEditColors)(w, tone);
}

void placeAndStyle(const Row &row, QWidget *w)
{
    w->setGeometry(row.kind == Kind::Memo ? static_cast<ScbGroupBox *>(w->parentWidget())->clientRect() : row.rect);
    if (row.font.family) {
        if (row.kind == Kind::Box)
            static_cast<ScbGroupBox *>(w)->setCaptionFont(pixelFont(row.font));
        else
            w->setFont(pixelFont(row.font));
    }
    setInk(w, row.ink);
}

// A kind's own set-up; a kind that does not match the member's class
// fails here, at start-up.
void setUp(const Row &row, QObject *object, const ControlWindowUi &ui)
{
    switch (row.kind) {
    case Kind::FileEdit:
        qobject_cast<FileOpenEdit *>(object)->setDefaultExt(QStringLiteral("txt"));
        break;
    case Kind::Memo:
        qobject_cast<PreviewMemo *>(object)->setTabChangesFocus(true);
        break;
    case Kind::StatusLabel: {
        auto *label = qobject_cast<QLabel *>(object);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        break;
    }
    case Kind::Spin: {
        auto *edit = qobject_cast<SpinEdit *>(object);
        if (QFontInfo(edit->font()).family() != QLatin1String("Verdana"))
            edit->setFont(pixelFont(SpinDigitsStandIn));
        edit->setLoading(true);
        edit->setMaxValue(9999);
        edit->setMinValue(0);
        edit->setStep(1);
        edit->setLargeStep(10);
        edit->setValue(scb::DefaultBoardRect.*row.value);
        edit->setLoading(false);
        break;
    }
    case Kind::Rocker: {
        auto *rocker = qobject_cast<RockerSwitch *>(object);
        const QStringList captions = QString::fromUtf8(row.caption).split(QLatin1Char('|'));
        rocker->setCheckedLeft(false);
        rocker->setCaptionChecked(captions.at(1));
        rocker->setCaptionUnChecked(captions.at(0));
        rocker->setColorChecked(QColor(0, 255, 0));
        rocker->setColorUnChecked(QColor(255, 0, 0));
        rocker->setCursor(Qt::PointingHandCursor);
        break;
    }
    case Kind::DropTarget:
        qobject_cast<FileDropTarget *>(object)->setControl(ui.LMDSimplePanel1);
        break;
    case Kind::Timer:
        qobject_cast<QTimer *>(object)->setInterval(1000);
        break;
    default:
        break;
    }
}

template <auto Member>
QObject *make(ControlWindowUi &ui, const Row &row, QWidget *parent)
{
    using Class = std::remove_pointer_t<std::remove_reference_t<decltype(ui.*Member)>>;
    Class *object;
    if constexpr (std::is_constructible_v<Class, const QString &, QWidget *>)
        object = new Class(QString::fromUtf8(row.caption), parent);
    else
        object = new Class(parent);
    object->setObjectName(QLatin1String(row.name));
    if constexpr (std::is_base_of_v<QWidget, Class>)
        placeAndStyle(row, object);
    setUp(row, object, ui);
    ui.*Member = object;
    return object;
}

} // namespace

const char *designStartList()
{
    return "\r\n\r\n\r\n"
           "Teams - Free Routine Preliminary\r\n"
           "START LIST\r\n"
           " 1  RUSSIA\r\n"
           " 2  CZECH REPUBLIC \r\n"
           " 3  UKRAINE                     \r\n"
           " 4  SPAIN                       \r\n"
           " 5  GREAT BRITAIN               \r\n"
           " 6  NETHERLANDS                 \r\n"
           " 7  GREECE                      \r\n"
           " 8  ITALY                       \r\n"
           " 9  CROATIA                     \r\n"
           "10  BELARUS  \r\n";
}

void ControlWindowUi::setupUi(QWidget *form)
{
    form->resize(513, 430);
    form->setMinimumSize(120, 80);
    // Navy lies under the gradient and shows only if the gradient is not drawn.
    QPalette pal = form->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128));
    // White is the window font's colour, for captions on the gradient only:
    // edit text, button text and the check mark keep the platform's colours.
    pal.setColor(QPalette::WindowText, Qt::white);
    form->setPalette(pal);
    form->setFont(pixelFont(Verdana16));

    std::map<std::string_view, QObject *> built;
    for (const Row &row : Design) {
        QWidget *parent = row.parent ? static_cast<QWidget *>(built.at(row.parent)) : form;
        built.emplace(row.name, row.make(*this, row, parent));
    }

    for (std::size_t i = 1; i < std::size(TabOrder); ++i)
        QWidget::setTabOrder(static_cast<QWidget *>(built.at(TabOrder[i - 1])),
                             static_cast<QWidget *>(built.at(TabOrder[i])));
}

void ControlWindowUi::placePanels(QWidget *form)
{
    const int bottom = 40;
    const int top = std::max(0, form->height() - bottom);
    LMDSimplePanel1->setGeometry(0, 0, form->width(), top);
    LMDSimplePanel2->setGeometry(0, top, form->width(), bottom);
}
