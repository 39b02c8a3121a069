#pragma once
// The control window's calls to the file system, each on a worker of its own
// and bounded (core/BoundedCall.h): the tick's look at the display file,
// start-up's choice of display file, the picture's read and the picture
// dialog's folder check. An answer in time comes back from the call itself,
// so the order of effects holds where the file system answers promptly; a
// late one lands on the interface thread through the given landing.

#include <functional>
#include <optional>
#include <string>

#include "core/BoundedCall.h"
#include "core/FileLook.h"
#include "core/PictureCheck.h"

class BackgroundFiles
{
public:
    // Late answers go through post, normally to the interface thread.
    explicit BackgroundFiles(const scb::BoundedWorker::Post &post);

    // Tests stand a share that stops answering in for every call, and their
    // own look in for the tick's.
    void setGate(scb::FileSystemGate gate) { m_gate = std::move(gate); }
    const scb::FileSystemGate &gate() const { return m_gate; }
    void setLook(scb::LookFunction look) { m_lookFunction = std::move(look); }

    // The tick's look: its snapshot when it answers in time, else nullopt and
    // the snapshot goes to landLater. Starts nothing while one is pending.
    std::optional<scb::FileSnapshot> look(const std::string &path, std::int32_t lastAge,
                                          const scb::FileFingerprint &lastPrint,
                                          const std::function<void(scb::FileSnapshot)> &landLater);
    bool lookPending() const { return m_look.pending(); }

    // The display file to use at start-up (see fallbackDisplayFile).
    void chooseDisplayFile(const std::string &saved, const std::string &startFolder,
                           const std::function<void(std::optional<std::string>)> &land);

    // The picture's file; a read still pending for an earlier path is given up.
    void readPicture(const std::string &path, const std::function<void(scb::PictureFile)> &land);

    // Whether path names a file now; false when the file system does not
    // answer in time (the late answer is dropped).
    bool fileExists(const std::string &path);

private:
    scb::FileSystemGate m_gate;
    scb::LookFunction m_lookFunction;
    scb::BoundedCall<scb::FileSnapshot> m_look;
    scb::BoundedCall<std::optional<std::string>> m_startCheck;
    scb::BoundedCall<scb::PictureFile> m_pictureRead;
    scb::BoundedCall<bool> m_fileCheck;
};
