#include "widgets/Dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Qt's font dialog knows no colour; the board's text colour is part of the
// font choice, so the dialog gets a colour button beside the effects.
class FontColorDialog : public QDialog
{
public:
    FontColorDialog(QWidget *parent, const FontChoice &initial) : QDialog(parent), m_color(initial.color)
    {
        setWindowTitle(QStringLiteral("Font"));
        m_fonts = new QFontDialog(initial.font, this);
        m_fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
        m_fonts->setWindowFlags(Qt::Widget);
        m_colorButton = new QPushButton(QStringLiteral("&Color..."), this);
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

    FontChoice choice() const { return {m_fonts->currentFont(), m_color}; }

private:
    void showColor()
    {
        m_swatch->setStyleSheet(QStringLiteral("background:%1; border:1px solid black").arg(m_color.name()));
    }

    QFontDialog *m_fonts = nullptr;
    QPushButton *m_colorButton = nullptr;
    QLabel *m_swatch = nullptr;
    QColor m_color;
};

} // namespace

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
    QFileDialog dialog(parent, QStringLiteral("Select a background image"), initialDir,
                       QStringLiteral("Bitmaps (*.bmp)"));
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
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), question, QMessageBox::NoButton, parent);
    QPushButton *yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void SystemDialogs::message(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}
