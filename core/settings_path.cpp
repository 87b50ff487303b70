#include "core/settings_path.h"

#include "platform/shell/special_folders.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "core/file_tests.h"
#include "platform/file_handle.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace wux::core {

namespace {

std::mutex& programFolderMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string& programFolderOverride()
{
    static std::string folder;
    return folder;
}

std::string withoutTrailingSeparator(std::string path)
{
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

} // namespace

std::string withTrailingBackslash(std::string path)
{
    if (path.empty() || path.back() != '\\')
        path.push_back('\\');
    return path;
}

std::string ProgramFolder()
{
    {
        std::lock_guard<std::mutex> lock(programFolderMutex());
        if (!programFolderOverride().empty())
            return programFolderOverride();
    }
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::string();
    return withoutTrailingSeparator(platform::toWindowsPath(program.parent_path().string()));
}

void setProgramFolder(std::string windowsPath)
{
    std::lock_guard<std::mutex> lock(programFolderMutex());
    programFolderOverride() = withoutTrailingSeparator(std::move(windowsPath));
}

std::string applicationDataFolder()
{
    return withoutTrailingSeparator(
        platform::shell::specialFolderPath(platform::shell::SpecialFolder::kApplicationData));
}

std::string SettingsFilePath(const std::string& programFolder)
{
    std::string path = withTrailingBackslash(programFolder) + kSettingsFileName;

    platform::WinError error = platform::kErrorSuccess;
    if (!CanOpenExclusive(path, &error) && error == platform::kErrorFileNotFound) {
        // Create the missing file, but never empty one that another process made meanwhile.
        platform::FileHandle file;
        error = file.open(path, platform::kAccessReadWrite, platform::kShareNone,
                          platform::Disposition::kCreateNew);
    }
    if (error != platform::kErrorAccessDenied)
        return path;

    const std::string appData = applicationDataFolder();
    if (appData.empty())
        return path;
    const std::string folder = withTrailingBackslash(appData) + kSettingsFolderName;
    std::uint32_t attributes = 0;
    if (platform::getAttributes(folder, attributes) != platform::kErrorSuccess)
        platform::createFolder(folder);
    if (platform::getAttributes(folder, attributes) == platform::kErrorSuccess &&
        (attributes & platform::kAttrDirectory) != 0)
        path = folder + "\\" + kSettingsFileName;
    return path;
}

} // namespace wux::core
