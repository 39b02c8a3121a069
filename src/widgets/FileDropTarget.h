#pragma once
// Accepts files dropped from the desktop on one widget and everything inside
// it. Child controls that take text drops themselves (line edits) are watched
// too, so a file landing anywhere in the served widget reaches this target.
// Drops carrying no local file pass through untouched.

#include <QObject>
#include <QPointer>
#include <QStringList>

class QWidget;
class QDropEvent;

class FileDropTarget : public QObject
{
    Q_OBJECT
public:
    explicit FileDropTarget(QObject *parent = nullptr);
    ~FileDropTarget() override;

    QWidget *control() const { return m_control; }
    // Serves this widget from now on (nullptr: none). Lets go by itself when
    // the widget is destroyed.
    void setControl(QWidget *control);

    int charCase() const { return m_charCase; }
    // 0 keeps dropped names as delivered, 1 lower case, 2 upper case.
    void setCharCase(int charCase) { m_charCase = charCase; }

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

signals:
    // Once per drop of one or more files. fcount counts every dropped file,
    // also those left out of fileList for a path of 255 characters or more;
    // (x, y) is the drop point in the served widget's coordinates.
    void fmDragDrop(QObject *sender, int fcount, int x, int y, const QStringList &fileList);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchTree(QObject *root);
    void unwatchTree(QObject *root);
    void attach();
    void detach();
    void deliver(QWidget *receiver, QDropEvent *event, const QStringList &paths);

    QPointer<QWidget> m_control;
    bool m_controlAcceptedDrops = false;
    bool m_attached = false;
    bool m_enabled = true;
    int m_charCase = 0;
};
