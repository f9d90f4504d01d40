// Per-volume space: each folder is traced up to the nearest one that exists (a Custom folder may
// not yet), whose volume root names the volume and whose free space is the volume's.
#include "engine/disk_space.h"

#include "engine/opened_folder.h"
#include "engine/paths.h"
#include "engine/system/system.h"

namespace nimbic {

namespace {

struct Volume {
    std::u16string root;
    std::u16string existing_folder;
    uint64_t needed = 0;
};

std::u16string ExistingAncestor(std::u16string folder)
{
    folder = CleanPath(folder);
    while (!folder.empty() && sys::kind_of(folder) != sys::path_kind::folder) {
        const std::u16string parent = path_parent(folder);
        if (parent == folder)
            return {};
        folder = parent;
    }
    // "C:" alone names the drive's current folder, not its root.
    if (folder.size() == 2 && folder[1] == u':')
        folder += u"\\";
    return folder;
}

} // namespace

std::vector<SpaceShortage> FindSpaceShortages(const std::vector<SpaceNeed>& needs)
{
    std::vector<Volume> volumes;
    for (const SpaceNeed& need : needs) {
        if (need.bytes == 0 || need.folder.empty())
            continue;
        const std::u16string existing = ExistingAncestor(need.folder);
        std::u16string root;
        if (existing.empty() || !sys::volume_root(existing, &root))
            continue;
        Volume* volume = nullptr;
        for (Volume& known : volumes) {
            if (same_path(known.root, root))
                volume = &known;
        }
        if (!volume)
            volume = &volumes.emplace_back(Volume{root, existing, 0});
        volume->needed += need.bytes;
    }
    std::vector<SpaceShortage> shortages;
    for (const Volume& volume : volumes) {
        uint64_t available = 0;
        if (sys::free_disk_space(volume.existing_folder, &available) && available < volume.needed)
            shortages.push_back({volume.root, volume.needed, available});
    }
    return shortages;
}

std::u16string VolumeName(const std::u16string& root)
{
    std::u16string name = root;
    if (name.size() > 1 && name.back() == u'\\')
        name.pop_back();
    if (name.size() == 2 && name[1] == u':') {
        if (name[0] >= u'a' && name[0] <= u'z')
            name[0] = static_cast<char16_t>(name[0] - u'a' + u'A');
        return u"drive " + name;
    }
    return name;
}

} // namespace nimbic
