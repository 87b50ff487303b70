// A temporary folder tree mapped onto drive letters through the drive map (WUX_DRIVES), so that a test
// works on "c:\..." paths that live in its own temporary folder. The previous map is restored when the
// drive ends.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/drives.h"

namespace wux::test {

class TempDrive
{
public:
    // Maps each letter of `letters` (fixed drives) onto its own folder "<temp>/<letter>".
    explicit TempDrive(std::string_view letters = "c");
    ~TempDrive();
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    // Maps one more letter onto a new folder "<temp>/<letter>" (or onto a folder on another file system
    // than the temporary folder when foreignFileSystem; returns false when there is none) and reloads
    // the map.
    bool addDrive(char letter, platform::DriveType type = platform::kDriveFixed,
                  bool foreignFileSystem = false);
    // Maps a letter onto an existing POSIX folder and reloads the map.
    void mapDrive(char letter, std::string posixRoot, platform::DriveType type = platform::kDriveFixed);

    // The temporary folder holding every drive root.
    const std::string& base() const { return base_; }
    // The POSIX root of a drive.
    std::string root(char letter = 'c') const;
    // "x:\" + relative ("/" becomes "\"); relative "" gives "x:\".
    std::string path(std::string_view relative, char letter = 'c') const;
    // The POSIX path of relative below the drive root ("\" becomes "/").
    std::string posix(std::string_view relative, char letter = 'c') const;

private:
    void apply();

    std::string base_;
    std::vector<std::pair<char, std::pair<std::string, platform::DriveType>>> drives_;
    std::vector<std::string> foreignFolders_;
    bool hadPrevious_ = false;
    std::string previous_;
};

// A GoogleTest base that gives each test a drive c: in a temporary folder.
class TempDriveTest : public ::testing::Test
{
protected:
    TempDrive drive{"c"};
    // "c:\" + relative.
    std::string path(std::string_view relative) const { return drive.path(relative); }
    // The POSIX path of relative on c:.
    std::string posix(std::string_view relative) const { return drive.posix(relative); }
};

} // namespace wux::test
