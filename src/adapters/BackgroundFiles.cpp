#include "adapters/BackgroundFiles.h"

#include "core/FileStamp.h"
#include "core/SessionRules.h"

#include <filesystem>

BackgroundFiles::BackgroundFiles(const scb::BoundedWorker::Post &post)
    : m_startCheck(post), m_pictureRead(post), m_fileCheck(post)
{
}

void BackgroundFiles::chooseDisplayFile(const std::string &saved, const std::string &startFolder,
                                        const std::function<void(std::optional<std::string>)> &land)
{
    auto call = [saved, startFolder, gate = m_gate] { return scb::fallbackDisplayFile(saved, startFolder, gate); };
    if (const auto choice = m_startCheck.run(call, scb::CallBound{}, land))
        land(*choice);
}

void BackgroundFiles::readPicture(const std::string &path, const std::function<void(PictureLoad)> &land)
{
    m_pictureRead.supersede();
    auto call = [path, gate = m_gate] {
        if (!path.empty())
            scb::passGate(gate, path);
        return loadPictureFile(path);
    };
    if (std::optional<PictureLoad> load = m_pictureRead.run(call, scb::CallBound{}, land))
        land(std::move(*load));
}

std::string BackgroundFiles::folderOfExisting(const std::string &path)
{
    if (path.empty())
        return {};
    auto call = [path, gate = m_gate] {
        scb::passGate(gate, path);
        return scb::fileAge(path) != -1;
    };
    if (!m_fileCheck.run(call, scb::CallBound{}).value_or(false))
        return {};
    return std::filesystem::path(path).parent_path().string();
}
