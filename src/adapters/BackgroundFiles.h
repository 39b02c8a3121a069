#pragma once
// The control window's calls to the file system, each on a worker of its own
// and bounded (core/BoundedCall.h): start-up's choice of display file, the
// picture's read and the picture dialog's folder check (the tick's look is
// DisplayFileFeed's). An answer in time comes back from the call itself,
// so the order of effects holds where the file system answers promptly; a
// late one lands on the interface thread through the given landing.

#include <functional>
#include <optional>
#include <string>

#include "adapters/BackgroundPicture.h"
#include "core/BoundedCall.h"

class BackgroundFiles
{
public:
    // Late answers go through post, normally to the interface thread.
    explicit BackgroundFiles(const scb::BoundedWorker::Post &post);

    // Tests stand a share that stops answering in for every call.
    void setGate(scb::FileSystemGate gate) { m_gate = std::move(gate); }

    // The display file to use at start-up (see fallbackDisplayFile).
    void chooseDisplayFile(const std::string &saved, const std::string &startFolder,
                           const std::function<void(std::optional<std::string>)> &land);

    // The picture's file, read and decoded; a load still pending for an
    // earlier path is given up.
    void readPicture(const std::string &path, const std::function<void(PictureLoad)> &land);

    // The folder of path while path names a file; empty for no path, no
    // file, or a file system that does not answer in time (the late answer
    // is dropped).
    std::string folderOfExisting(const std::string &path);

private:
    scb::FileSystemGate m_gate;
    scb::BoundedCall<std::optional<std::string>> m_startCheck;
    scb::BoundedCall<PictureLoad> m_pictureRead;
    scb::BoundedCall<bool> m_fileCheck;
};
