#include "adapters/Dialogs.h"

#include "core/Desktop.h"
#include "adapters/QtConvert.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace {

// Qt's font dialog embedded as a panel. Its Esc and Return end the whole
// dialog; left to itself the panel would only hide, leaving an empty frame.
class FontPanel : public QFontDialog
{
public:
    FontPanel(const QFont &font, QDialog *owner) : QFontDialog(font, owner), m_owner(owner)
    {
        // Qt accepts on Return in the lists only; in the size field (the one
        // edit that checks what is typed) Return must end the choice too.
        for (QLineEdit *edit : findChildren<QLineEdit *>())
            if (edit->validator())
                connect(edit, &QLineEdit::returnPressed, owner, &QDialog::accept);
    }

protected:
    void done(int result) override { m_owner->done(result); }

private:
    QDialog *m_owner;
};

// Fontconfig answers a family that is not installed ("Arial") with a
// metric-compatible face; the panel lists installed families only, so it
// opens on the face the board really draws with.
QFont faceInUse(const QFont &font)
{
    if (QFontDatabase::families().contains(font.family(), Qt::CaseInsensitive))
        return font;
    QFont face(font);
    face.setFamily(QFontInfo(font).family());
    return face;
}

// Qt's font dialog knows no colour; the board's text colour is part of the
// font choice, so the dialog gets a colour button beside the effects.
class FontColorDialog : public QDialog
{
public:
    FontColorDialog(QWidget *parent, const FontChoice &initial)
        : QDialog(parent), m_initial(initial.font), m_color(initial.color)
    {
        setWindowTitle(QStringLiteral("Font"));
        m_fonts = new FontPanel(faceInUse(initial.font), this);
        m_fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
        m_fonts->setWindowFlags(Qt::Widget);
        m_shown = m_fonts->currentFont();
        m_colorButton = new QPushButton(QStringLiteral("&Color..."), this);
        m_colorButton->setAutoDefault(false);
        m_swatch = new QLabel(this);
        m_swatch->setFixedSize(48, 20);
        showColor();
        connect(m_colorButton, &QPushButton::clicked, this, [this] {
            const QColor c = QColorDialog::getColor(m_color, this);
            if (c.isValid()) {
                m_color = c;
                showColor();
            }
        });
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Ok)->setDefault(true);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto *colorRow = new QHBoxLayout;
        colorRow->addWidget(m_colorButton);
        colorRow->addWidget(m_swatch);
        colorRow->addStretch();
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(m_fonts);
        layout->addLayout(colorRow);
        layout->addWidget(buttons);
    }

    // What the operator left alone stays as it came in, down to the family's
    // name: the panel may show a stand-in face for it.
    FontChoice choice() const
    {
        const QFont now = m_fonts->currentFont();
        QFont font = m_initial;
        if (now.family() != m_shown.family())
            font.setFamily(now.family());
        if (now.pointSize() != m_shown.pointSize() && now.pointSize() > 0)
            font.setPointSize(now.pointSize());
        if (now.bold() != m_shown.bold())
            font.setBold(now.bold());
        if (now.italic() != m_shown.italic())
            font.setItalic(now.italic());
        if (now.underline() != m_shown.underline())
            font.setUnderline(now.underline());
        if (now.strikeOut() != m_shown.strikeOut())
            font.setStrikeOut(now.strikeOut());
        return {font, m_color};
    }

private:
    void showColor()
    {
        m_swatch->setStyleSheet(QStringLiteral("background:%1; border:1px solid black").arg(m_color.name()));
    }

    QFontDialog *m_fonts = nullptr;
    QPushButton *m_colorButton = nullptr;
    QLabel *m_swatch = nullptr;
    QFont m_initial;
    QFont m_shown;
    QColor m_color;
};

// Asked of the window itself: the widget keeps the margins it saw at its
// last move or resize, which under X11 may predate the frame.
QMargins frameMargins(const QWidget *w)
{
    const QWindow *window = w->windowHandle();
    return window ? window->frameMargins() : QMargins();
}

// A window that has no frame yet (not mapped) borrows home's.
void centreOnScreenOf(QWidget *window, QWidget *home)
{
    QScreen *screen = home ? home->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QMargins m = frameMargins(window);
    if (m.isNull() && home)
        m = frameMargins(home);
    const scb::Point origin = scb::centredClientOrigin(fromQRect(screen->availableGeometry()), window->width(),
                                                       window->height(), {m.left(), m.top(), m.right(), m.bottom()});
    window->setGeometry(QRect(QPoint(origin.x, origin.y), window->size()));
}

// Looks for the frame from the moment the window is mapped. A box opened
// while the window is being shown (a start-up message) holds the mapping back
// for as long as the operator takes to read it; counted from the show, the
// looks would run out first and leave the window centred without its frame.
class FrameWatch : public QObject
{
public:
    FrameWatch(QWidget *window, QWidget *home) : QObject(window), m_window(window), m_home(home)
    {
        m_timer.setInterval(Interval);
        connect(&m_timer, &QTimer::timeout, this, &FrameWatch::look);
        QWindow *handle = window->windowHandle();
        if (handle && !handle->isExposed())
            handle->installEventFilter(this);
        else
            m_timer.start();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            m_timer.start();
        }
        return false;
    }

private:
    // No event tells when the frame becomes known; it comes within moments of
    // mapping, and a window without a window manager never gets one.
    static constexpr int Interval = 20;
    static constexpr int Looks = 100;

    void look()
    {
        const bool framed = !frameMargins(m_window).isNull();
        if (framed)
            centreOnScreenOf(m_window, m_home);
        if (framed || !m_window->isVisible() || ++m_looks >= Looks) {
            m_timer.stop();
            deleteLater();
        }
    }

    QWidget *m_window;
    QPointer<QWidget> m_home;
    QTimer m_timer;
    int m_looks = 0;
};

} // namespace

void centreOnScreenOnceFramed(QWidget *window, QWidget *home)
{
    centreOnScreenOf(window, home);
    new FrameWatch(window, home);
}

std::optional<FontChoice> SystemDialogs::chooseFont(QWidget *parent, const FontChoice &initial)
{
    FontColorDialog dialog(parent, initial);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

std::optional<QColor> SystemDialogs::chooseColor(QWidget *parent, const QColor &initial)
{
    const QColor c = QColorDialog::getColor(initial, parent);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

std::optional<QString> SystemDialogs::choosePicture(QWidget *parent, const QString &initialDir)
{
    QFileDialog dialog(parent, QStringLiteral("Select a background image"), initialDir);
    // Bitmaps first, as always; every other picture the board takes after them.
    dialog.setNameFilters({QStringLiteral("Bitmaps (*.bmp)"),
                           QStringLiteral("All pictures (*.bmp *.png *.jpg *.jpeg *.ico *.emf *.wmf)")});
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name that does not exist is accepted and stored as it is.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

bool SystemDialogs::confirm(QWidget *parent, const QString &question)
{
    OnHomeScreen<QMessageBox> box(owner(parent), QMessageBox::Question, QStringLiteral("Confirm"), question,
                                  QMessageBox::NoButton, owner(parent));
    QPushButton *yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void SystemDialogs::message(QWidget *parent, const QString &text)
{
    OnHomeScreen<QMessageBox> box(owner(parent), QMessageBox::NoIcon, QApplication::applicationName(), text,
                                  QMessageBox::Ok, owner(parent));
    box.exec();
}
