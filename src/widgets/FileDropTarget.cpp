#include "widgets/FileDropTarget.h"

#include <QChildEvent>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "core/AssignIfChanged.h"
#include "core/DropList.h"

#include <string>
#include <vector>

namespace {

QStringList droppedFiles(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile())
            paths << QDir::toNativeSeparators(url.toLocalFile());
    }
    return paths;
}

} // namespace

FileDropTarget::FileDropTarget(QObject *parent) : QObject(parent) {}

FileDropTarget::~FileDropTarget()
{
    detach();
}

void FileDropTarget::setControl(QWidget *control)
{
    if (control == m_control)
        return;
    detach();
    if (m_control)
        disconnect(m_control, nullptr, this, nullptr);
    m_control = control;
    if (m_control) {
        connect(m_control, &QObject::destroyed, this, [this]() {
            // The tree is going away with its filters; nothing to undo.
            m_attached = false;
            m_control = nullptr;
        });
    }
    attach();
}

void FileDropTarget::setEnabled(bool enabled)
{
    if (!scb::assignIfChanged(m_enabled, enabled))
        return;
    if (m_enabled)
        attach();
    else
        detach();
}

void FileDropTarget::attach()
{
    if (m_attached || !m_enabled || !m_control)
        return;
    m_controlAcceptedDrops = m_control->acceptDrops();
    m_control->setAcceptDrops(true);
    watchTree(m_control);
    m_attached = true;
}

void FileDropTarget::detach()
{
    if (!m_attached)
        return;
    m_attached = false;
    if (!m_control)
        return;
    unwatchTree(m_control);
    m_control->setAcceptDrops(m_controlAcceptedDrops);
}

void FileDropTarget::watchTree(QObject *root)
{
    root->installEventFilter(this);
    for (QObject *child : root->findChildren<QObject *>())
        if (child->isWidgetType())
            child->installEventFilter(this);
}

void FileDropTarget::unwatchTree(QObject *root)
{
    root->removeEventFilter(this);
    for (QObject *child : root->findChildren<QObject *>())
        child->removeEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject *watched, QEvent *event)
{
    // Every event of every watched widget passes here: leave the rest alone cheaply.
    const QEvent::Type type = event->type();
    if (type != QEvent::ChildAdded && type != QEvent::DragEnter && type != QEvent::DragMove
        && type != QEvent::Drop)
        return false;
    if (!m_attached || !m_control || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (widget != m_control && !m_control->isAncestorOf(widget)) {
        // Moved out of the served tree since we started watching it.
        widget->removeEventFilter(this);
        return false;
    }

    switch (event->type()) {
    case QEvent::ChildAdded: {
        // Children are announced while still being constructed; the filter
        // only needs the QObject part, and the widget flag is already set.
        QObject *child = static_cast<QChildEvent *>(event)->child();
        if (child->isWidgetType())
            watchTree(child);
        return false;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (droppedFiles(drag->mimeData()).isEmpty())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList paths = droppedFiles(drop->mimeData());
        if (paths.isEmpty())
            return false;
        drop->acceptProposedAction();
        deliver(widget, drop, paths);
        return true;
    }
    default:
        return false;
    }
}

void FileDropTarget::deliver(QWidget *receiver, QDropEvent *event, const QStringList &paths)
{
    std::vector<std::string> raw;
    raw.reserve(paths.size());
    for (const QString &path : paths)
        raw.push_back(path.toStdString());
    QStringList list;
    for (const std::string &name : scb::buildDropList(raw, m_charCase))
        list << QString::fromStdString(name);

    const QPoint at = receiver->mapTo(m_control, event->position().toPoint());
    emit fmDragDrop(this, int(paths.size()), at.x(), at.y(), list);
}
