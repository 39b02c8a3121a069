#include "adapters/BackgroundFiles.h"

#include "core/FileStamp.h"
#include "core/SessionRules.h"

BackgroundFiles::BackgroundFiles(const scb::BoundedWorker::Post &post)
    : m_look(post), m_startCheck(post), m_pictureRead(post), m_fileCheck(post)
{
}

std::optional<scb::FileSnapshot> BackgroundFiles::look(const std::string &path, std::int32_t lastAge,
                                                        const scb::FileFingerprint &lastPrint,
                                                        const std::function<void(scb::FileSnapshot)> &landLater)
{
    auto call = [look = m_lookFunction, gate = m_gate, path, lastAge, lastPrint] {
        scb::passGate(gate, path);
        return look ? look(path, lastAge, lastPrint) : scb::lookAtFile(path, lastAge, lastPrint);
    };
    return m_look.run(call, scb::CallBound{}, landLater);
}

void BackgroundFiles::chooseDisplayFile(const std::string &saved, const std::string &startFolder,
                                        const std::function<void(std::optional<std::string>)> &land)
{
    auto call = [saved, startFolder, gate = m_gate] { return scb::fallbackDisplayFile(saved, startFolder, gate); };
    if (const auto choice = m_startCheck.run(call, scb::CallBound{}, land))
        land(*choice);
}

void BackgroundFiles::readPicture(const std::string &path, const std::function<void(scb::PictureFile)> &land)
{
    m_pictureRead.supersede();
    auto call = [path, gate = m_gate] {
        if (!path.empty())
            scb::passGate(gate, path);
        return scb::readPictureFile(path);
    };
    if (std::optional<scb::PictureFile> file = m_pictureRead.run(call, scb::CallBound{}, land))
        land(std::move(*file));
}

bool BackgroundFiles::fileExists(const std::string &path)
{
    auto call = [path, gate = m_gate] {
        scb::passGate(gate, path);
        return scb::fileAge(path) != -1;
    };
    return m_fileCheck.run(call, scb::CallBound{}).value_or(false);
}
