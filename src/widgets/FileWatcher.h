#pragma once
// Announces that the display file has been finished by its writer, so the
// control window can run its poll tick at once instead of at the next second.
// A burst of finishes (a writer saving several times in a row) becomes one
// announcement a couple of milliseconds after the first. Where the system
// offers no watch it stays silent and the one-second poll carries on alone.

#include <QObject>

#include <string>

#include "core/FileWatch.h"

class QSocketNotifier;
class QTimer;

class FileWatcher : public QObject
{
    Q_OBJECT
public:
    explicit FileWatcher(QObject *parent = nullptr);
    ~FileWatcher() override;

    // The path as the poll tick reads it (8-bit bytes). Cheap when unchanged,
    // so callers may hand it over at every tick; empty watches nothing.
    void setPath(const std::string &path);
    const std::string &path() const { return m_path; }

    // A disabled watcher keeps its path but watches nothing.
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }

    // The file's folder is under watch.
    bool isWatching() const { return m_enabled && m_watch.folderWatched(); }

signals:
    void fileFinished();

private:
    void eventsPending();

    scb::FileWatch m_watch;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_settle = nullptr;
    std::string m_path;
    bool m_enabled = true;
};
