#pragma once
// A file-name edit with a browse button inside its right end. The filename is
// the text itself, also in the middle of typing. Browsing asks openDialog,
// which tests replace so that no modal dialog ever opens.

#include <QLineEdit>

#include <functional>

class QAction;

class FileOpenEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit FileOpenEdit(QWidget *parent = nullptr);

    QString filename() const { return text(); }
    void setFilename(const QString &name) { setText(name); }

    // Added by the dialog to a name typed without extension; no dot.
    QString defaultExt() const { return m_defaultExt; }
    void setDefaultExt(const QString &ext) { m_defaultExt = ext; }

    // Returns the chosen full path, or an empty string on cancel.
    using OpenDialog = std::function<QString(QWidget *parent, const QString &defaultExt)>;
    OpenDialog openDialog;
    // The platform's open-file dialog: standard title, all files, no initial
    // folder, a typed name need not exist.
    static QString platformOpenDialog(QWidget *parent, const QString &defaultExt);

    QAction *browseAction() const { return m_browse; }

public slots:
    // Focus to the edit, then the dialog; a chosen path replaces the text,
    // a cancel changes nothing.
    void browse();

signals:
    void changed();

private:
    QAction *m_browse;
    QString m_defaultExt = QStringLiteral("txt");
};
