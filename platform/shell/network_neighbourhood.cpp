#include "platform/shell/network_neighbourhood.h"

#include <mutex>

#include "platform/drives.h"

namespace wux::platform::shell {
namespace {

std::mutex gSharesMutex;
std::optional<std::vector<NetworkShare>> gInstalledShares;

} // namespace

std::vector<NetworkShare> networkShares()
{
    {
        std::lock_guard lock(gSharesMutex);
        if (gInstalledShares)
            return *gInstalledShares;
    }
    std::vector<NetworkShare> shares;
    for (const DriveEntry& drive : driveMap()) {
        if (drive.type != kDriveRemote)
            continue;
        NetworkShare share;
        share.letter = drive.letter;
        share.root = drive.root;
        share.source = drive.device;
        if (volumeLabel(drive.letter, share.displayName) != kErrorSuccess || share.displayName.empty())
            share.displayName = std::string(1, drive.letter) + ":";
        shares.push_back(std::move(share));
    }
    return shares;
}

bool hasNetworkNeighbourhood()
{
    return !networkShares().empty();
}

std::optional<NetworkShare> findNetworkShare(char letter)
{
    if (letter >= 'A' && letter <= 'Z')
        letter = static_cast<char>(letter - 'A' + 'a');
    for (NetworkShare& share : networkShares()) {
        if (share.letter == letter)
            return std::move(share);
    }
    return std::nullopt;
}

std::optional<std::vector<NetworkShare>> installNetworkShares(std::optional<std::vector<NetworkShare>> shares)
{
    std::lock_guard lock(gSharesMutex);
    std::optional<std::vector<NetworkShare>> previous = std::move(gInstalledShares);
    gInstalledShares = std::move(shares);
    return previous;
}

} // namespace wux::platform::shell
