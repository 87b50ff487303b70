// The network neighbourhood: a virtual folder whose entries are the mounted network file systems,
// that is the drives of type remote in the drive map (drives.h), in drive-letter order. Without any
// there is no network neighbourhood (and so no such pseudo-drive in the drive list).
//
// Tests install their own list of shares (ScopedNetworkShares).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace wux::platform::shell {

// One entry of the network neighbourhood.
struct NetworkShare
{
    char letter = 0;         // its drive letter, lower case
    std::string displayName; // the volume label, else "x:"
    std::string root;        // the POSIX folder it is mounted on
    std::string source;      // what is mounted ("server:/export", "//server/share"), "" when unknown
    friend bool operator==(const NetworkShare&, const NetworkShare&) = default;
};

// The display name of the network neighbourhood itself.
inline constexpr const char* kNetworkNeighbourhoodName = "Network";

// The entries, in drive-letter order (the installed list when a test installed one).
std::vector<NetworkShare> networkShares();
// True when the network neighbourhood has at least one entry.
bool hasNetworkNeighbourhood();
// The entry of a drive letter (either case), or nothing.
std::optional<NetworkShare> findNetworkShare(char letter);

// Replaces the entries by a fixed list (nothing: the drive map's again) and returns the one it
// replaces.
std::optional<std::vector<NetworkShare>>
installNetworkShares(std::optional<std::vector<NetworkShare>> shares);

class ScopedNetworkShares
{
public:
    explicit ScopedNetworkShares(std::vector<NetworkShare> shares)
        : previous_(installNetworkShares(std::move(shares)))
    {
    }
    ~ScopedNetworkShares() { installNetworkShares(std::move(previous_)); }
    ScopedNetworkShares(const ScopedNetworkShares&) = delete;
    ScopedNetworkShares& operator=(const ScopedNetworkShares&) = delete;

private:
    std::optional<std::vector<NetworkShare>> previous_;
};

} // namespace wux::platform::shell
