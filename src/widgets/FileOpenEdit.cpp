#include "widgets/FileOpenEdit.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QStyle>

FileOpenEdit::FileOpenEdit(QWidget *parent)
    : QLineEdit(parent), openDialog(&FileOpenEdit::platformOpenDialog)
{
    m_browse = addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
    m_browse->setObjectName(QStringLiteral("browse"));
    m_browse->setToolTip(tr("Browse"));
    connect(m_browse, &QAction::triggered, this, &FileOpenEdit::browse);
    connect(this, &QLineEdit::textChanged, this, &FileOpenEdit::changed);
}

QString FileOpenEdit::platformOpenDialog(QWidget *parent, const QString &defaultExt)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultExt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

void FileOpenEdit::browse()
{
    setFocus(Qt::OtherFocusReason);
    if (!openDialog)
        return;
    const QString chosen = openDialog(this, m_defaultExt);
    if (!chosen.isEmpty())
        setText(chosen);
}
