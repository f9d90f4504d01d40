// Free disk space, checked before anything is written: what each volume receives against what it
// has free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nimbic {

// `bytes` that will be written below `folder` (which need not exist yet).
struct SpaceNeed {
    std::u16string folder;
    uint64_t bytes = 0;
};

// A volume that has less free space than what goes to it.
struct SpaceShortage {
    std::u16string volume; // its root: "C:\", "\\server\share\"
    uint64_t needed = 0;
    uint64_t available = 0;
    uint64_t missing() const { return needed - available; }
};

// The needs added up per volume and compared with each volume's free space, in the order the
// volumes first appear. A volume that cannot be asked (or whose folders are all missing) is not
// reported: the write itself tells.
std::vector<SpaceShortage> FindSpaceShortages(const std::vector<SpaceNeed>& needs);

// "drive C:" for a drive's root, else the root as it stands ("\\server\share").
std::u16string VolumeName(const std::u16string& root);

} // namespace nimbic
