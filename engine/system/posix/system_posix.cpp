// The engine's seam for host tools on Linux: "\" in paths maps to "/", there is no registry and
// no embedded resource, and only the last-write time can be set (Linux keeps no creation time).
// Folders are opened as the developer's tree has them (links included); their children are
// reached with the *at calls and never through a link.
#include "engine/system/system.h"
#include "engine/system/posix/local_path.h"

#include "toolkit/core/text_conversion.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbic::sys {

namespace {

constexpr int64_t epoch_difference_ticks = 116444736000000000;

// A file opened below a folder remembers where, so that it can be renamed and deleted there.
struct Placed {
    int folder; // a duplicate, owned here
    std::string name;
};

std::mutex placed_lock;
std::map<int, Placed> placed_files;

std::string Component(std::u16string_view name)
{
    return zksdk::ui::utf16_to_utf8(name);
}

bool IsOneComponent(std::u16string_view name)
{
    return !name.empty() && name != u"." && name != u".." &&
           name.find_first_of(u"\\/") == std::u16string_view::npos;
}

open_result FromErrno(int error)
{
    switch (error) {
    case ENOENT:
        return open_result::missing;
    case EEXIST:
        return open_result::exists;
    case ELOOP:
        return open_result::redirected;
    case EACCES:
    case EPERM:
        return open_result::denied;
    default:
        return open_result::failed;
    }
}

void Remember(int fd, int folder, std::u16string_view name)
{
    std::lock_guard guard(placed_lock);
    placed_files[fd] = {fcntl(folder, F_DUPFD_CLOEXEC, 0), Component(name)};
}

void Forget(int fd)
{
    std::lock_guard guard(placed_lock);
    const auto found = placed_files.find(fd);
    if (found == placed_files.end())
        return;
    close(found->second.folder);
    placed_files.erase(found);
}

// The open file is still the one under its name (nobody put another there meanwhile).
bool StillPlaced(int fd, Placed* where)
{
    std::lock_guard guard(placed_lock);
    const auto found = placed_files.find(fd);
    if (found == placed_files.end())
        return false;
    struct stat opened {};
    struct stat named {};
    if (fstat(fd, &opened) != 0 ||
        fstatat(found->second.folder, found->second.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) !=
            0 ||
        opened.st_ino != named.st_ino || opened.st_dev != named.st_dev)
        return false;
    *where = found->second;
    return true;
}

} // namespace

bool is_wow64_process()
{
    return false;
}

long reg_open_local_machine(const std::u16string&, uint32_t, reg_key* key)
{
    *key = 0;
    return reg_file_not_found;
}

long reg_query_sub_key_count(reg_key, uint32_t* count)
{
    *count = 0;
    return reg_file_not_found;
}

long reg_enum_key(reg_key, uint32_t, char16_t*, uint32_t*)
{
    return reg_file_not_found;
}

long reg_get_string(reg_key, const std::u16string&, const std::u16string&, char16_t*, uint32_t*)
{
    return reg_file_not_found;
}

void reg_close(reg_key) {}

// No Windows program can be opened for its resources here.
module_result open_data_module(const std::u16string& path, module* opened)
{
    *opened = own_program;
    struct stat info {};
    if (stat(local_path(path).c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? module_result::missing
                                                   : module_result::unreadable;
    return module_result::not_a_program;
}

void close_module(module) {}

resource find_resource(int, module)
{
    return 0;
}

uintptr_t load_resource(resource, module)
{
    return 0;
}

const void* lock_resource(uintptr_t)
{
    return nullptr;
}

uint32_t resource_size(resource, module)
{
    return 0;
}

bool own_program_path(std::u16string* path)
{
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer)
        return false;
    *path = zksdk::ui::utf8_to_utf16(std::string_view(buffer, static_cast<size_t>(length)));
    return true;
}

bool is_elevated()
{
    return geteuid() == 0;
}

local_clock local_time()
{
    const time_t now = time(nullptr);
    struct tm parts {};
    localtime_r(&now, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
            parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

path_kind kind_of(const std::u16string& path)
{
    struct stat info {};
    if (stat(local_path(path).c_str(), &info) != 0)
        return path_kind::missing;
    return S_ISDIR(info.st_mode) ? path_kind::folder : path_kind::file;
}

read_result read_file_bytes(const std::u16string& path, size_t limit, std::string* bytes)
{
    bytes->clear();
    const int fd = open(local_path(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? read_result::missing : read_result::failed;
    char chunk[65536];
    bool ok = true;
    while (bytes->size() < limit) {
        const ssize_t count = read(fd, chunk, std::min(sizeof chunk, limit - bytes->size()));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            ok = false;
        if (count <= 0)
            break;
        bytes->append(chunk, static_cast<size_t>(count));
    }
    close(fd);
    return ok ? read_result::read : read_result::failed;
}

remove_result delete_file(const std::u16string& path)
{
    if (unlink(local_path(path).c_str()) == 0)
        return remove_result::removed;
    return errno == ENOENT ? remove_result::missing : remove_result::failed;
}

remove_result remove_directory(const std::u16string& path)
{
    if (rmdir(local_path(path).c_str()) == 0)
        return remove_result::removed;
    return errno == ENOENT ? remove_result::missing : remove_result::failed;
}

uint32_t reparse_tag(const std::u16string& path)
{
    struct stat info {};
    return lstat(local_path(path).c_str(), &info) == 0 && S_ISLNK(info.st_mode)
               ? reparse_tag_symlink
               : 0;
}

dir_result create_directory(const std::u16string& path)
{
    if (mkdir(local_path(path).c_str(), 0777) == 0)
        return dir_result::created;
    switch (errno) {
    case EEXIST:
        return dir_result::already_exists;
    case ENOENT:
        return dir_result::parent_missing;
    default:
        return dir_result::failed;
    }
}

// A link where the file should be is refused, not followed: it could point anywhere.
file_handle create_file(const std::u16string& path, share_mode)
{
    const int fd =
        open(local_path(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return invalid_file;
    return static_cast<file_handle>(fd);
}

bool write_file(file_handle file, const void* data, uint32_t size, uint32_t* written)
{
    const auto* bytes = static_cast<const char*>(data);
    uint32_t done = 0;
    while (done < size) {
        const ssize_t count = write(static_cast<int>(file), bytes + done, size - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        done += static_cast<uint32_t>(count);
    }
    *written = done;
    return done == size;
}

void close_file(file_handle file)
{
    Forget(static_cast<int>(file));
    close(static_cast<int>(file));
}

// No sync of its own: the host tools write build outputs, and ext4 already puts the data of a
// file renamed over another on the disk before the rename (auto_da_alloc).
bool flush_file(file_handle)
{
    return true;
}

bool replace_file(const std::u16string& from, const std::u16string& to)
{
    return rename(local_path(from).c_str(), local_path(to).c_str()) == 0;
}

bool set_file_times(const std::u16string& path, int64_t, int64_t last_write)
{
    const int64_t since_1970 = last_write - epoch_difference_ticks;
    int64_t seconds = since_1970 / 10000000;
    int64_t remainder = since_1970 % 10000000;
    if (remainder < 0) {
        remainder += 10000000;
        --seconds;
    }
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(remainder * 100);
    return utimensat(AT_FDCWD, local_path(path).c_str(), times, 0) == 0;
}

bool common_app_data_folder(std::u16string*)
{
    return false;
}

bool program_files_folder(std::u16string*)
{
    return false;
}

open_result open_folder(const std::u16string& path, folder_handle* folder)
{
    *folder = invalid_folder;
    const int fd = open(local_path(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOTDIR ? open_result::failed : FromErrno(errno);
    *folder = static_cast<folder_handle>(fd);
    return open_result::opened;
}

open_result open_child_folder(folder_handle parent, std::u16string_view name,
                              folder_creation creation, folder_handle* child, bool* created)
{
    *child = invalid_folder;
    *created = false;
    if (!IsOneComponent(name))
        return open_result::failed;
    const int from = static_cast<int>(parent);
    const std::string component = Component(name);
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    if (creation == folder_creation::create_private) {
        if (mkdirat(from, component.c_str(), 0700) != 0)
            return errno == EEXIST ? open_result::exists : FromErrno(errno);
        *created = true;
        const int made = openat(from, component.c_str(), flags);
        if (made < 0)
            return FromErrno(errno);
        *child = static_cast<folder_handle>(made);
        return open_result::opened;
    }
    int fd = openat(from, component.c_str(), flags);
    if (fd < 0 && errno == ENOENT && creates(creation)) {
        if (mkdirat(from, component.c_str(), 0777) != 0 && errno != EEXIST)
            return FromErrno(errno);
        *created = errno != EEXIST;
        fd = openat(from, component.c_str(), flags);
    }
    if (fd < 0)
        return errno == ENOTDIR ? open_result::failed : FromErrno(errno);
    *child = static_cast<folder_handle>(fd);
    return open_result::opened;
}

void close_folder(folder_handle folder)
{
    if (folder != invalid_folder)
        close(static_cast<int>(folder));
}

// Host tools run as the developer; no owner on their own tree is a stranger's.
bool has_administrator_owner(folder_handle)
{
    return true;
}

bool file_has_administrator_owner(file_handle)
{
    return true;
}

open_result create_child_file(folder_handle folder, std::u16string_view name, file_handle* file)
{
    *file = invalid_file;
    if (!IsOneComponent(name))
        return open_result::failed;
    const int in = static_cast<int>(folder);
    const int fd = openat(in, Component(name).c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return FromErrno(errno);
    Remember(fd, in, name);
    *file = static_cast<file_handle>(fd);
    return open_result::opened;
}

open_result open_child_file(folder_handle folder, std::u16string_view name, child_access access,
                            file_handle* file)
{
    *file = invalid_file;
    if (!IsOneComponent(name))
        return open_result::failed;
    const int in = static_cast<int>(folder);
    int mode = O_RDONLY;
    if (access == child_access::append)
        mode = O_WRONLY | O_APPEND;
    // Linux maps no image that refuses writers; opening is the whole check.
    if (access == child_access::overwrite)
        mode = O_WRONLY;
    const int fd = openat(in, Component(name).c_str(), mode | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return FromErrno(errno);
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return open_result::failed;
    }
    Remember(fd, in, name);
    *file = static_cast<file_handle>(fd);
    return open_result::opened;
}

bool read_opened(file_handle file, size_t limit, std::string* bytes)
{
    bytes->clear();
    char chunk[65536];
    off_t at = 0;
    while (bytes->size() < limit) {
        const ssize_t count =
            pread(static_cast<int>(file), chunk, std::min(sizeof chunk, limit - bytes->size()), at);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        if (count == 0)
            break;
        bytes->append(chunk, static_cast<size_t>(count));
        at += count;
    }
    return true;
}

bool set_times(file_handle file, int64_t, int64_t last_write)
{
    const int64_t since_1970 = last_write - epoch_difference_ticks;
    int64_t seconds = since_1970 / 10000000;
    int64_t remainder = since_1970 % 10000000;
    if (remainder < 0) {
        remainder += 10000000;
        --seconds;
    }
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(remainder * 100);
    return futimens(static_cast<int>(file), times) == 0;
}

open_result rename_opened(file_handle file, folder_handle folder, std::u16string_view name,
                          rename_mode mode)
{
    Placed where;
    if (!IsOneComponent(name) || !StillPlaced(static_cast<int>(file), &where))
        return open_result::failed;
    const int to = static_cast<int>(folder);
    const std::string component = Component(name);
    const unsigned flags = mode == rename_mode::keep_existing ? RENAME_NOREPLACE : 0;
    if (renameat2(where.folder, where.name.c_str(), to, component.c_str(), flags) != 0)
        return FromErrno(errno);
    std::lock_guard guard(placed_lock);
    Placed& placed = placed_files[static_cast<int>(file)];
    close(placed.folder);
    placed = {fcntl(to, F_DUPFD_CLOEXEC, 0), component};
    return open_result::opened;
}

bool delete_opened(file_handle file)
{
    Placed where;
    return StillPlaced(static_cast<int>(file), &where) &&
           unlinkat(where.folder, where.name.c_str(), 0) == 0;
}

remove_result remove_child_folder(folder_handle parent, std::u16string_view name)
{
    if (!IsOneComponent(name))
        return remove_result::failed;
    if (unlinkat(static_cast<int>(parent), Component(name).c_str(), AT_REMOVEDIR) == 0)
        return remove_result::removed;
    return errno == ENOENT ? remove_result::missing : remove_result::failed;
}

bool list_children(folder_handle folder, std::vector<std::u16string>* names)
{
    names->clear();
    const int copy = fcntl(static_cast<int>(folder), F_DUPFD_CLOEXEC, 0);
    DIR* listing = copy < 0 ? nullptr : fdopendir(copy);
    if (!listing) {
        if (copy >= 0)
            close(copy);
        return false;
    }
    rewinddir(listing);
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names->push_back(zksdk::ui::utf8_to_utf16(name));
    }
    closedir(listing);
    return true;
}

// Relative paths start at the current folder; "." and ".." are taken as Windows takes them,
// by the text alone.
bool full_path(const std::u16string& path, std::u16string* whole)
{
    std::u16string text = path;
    std::replace(text.begin(), text.end(), u'/', u'\\');
    if (!text.starts_with(u'\\')) {
        char current[4096];
        if (!getcwd(current, sizeof current))
            return false;
        std::u16string folder = zksdk::ui::utf8_to_utf16(current);
        std::replace(folder.begin(), folder.end(), u'/', u'\\');
        text = folder + u"\\" + text;
    }
    std::vector<std::u16string> parts;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find(u'\\', start), text.size());
        const std::u16string part = text.substr(start, end - start);
        start = end + 1;
        if (part == u"..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.push_back(part);
        }
    }
    whole->clear();
    for (const std::u16string& part : parts)
        *whole += u"\\" + part;
    if (whole->empty())
        *whole = u"\\";
    return true;
}

void random_bytes(void* data, size_t size)
{
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t count = getrandom(bytes, size, 0);
        if (count <= 0)
            continue;
        bytes += count;
        size -= static_cast<size_t>(count);
    }
}

// Host tools never wait for a restart.
bool delete_at_restart(const std::u16string&)
{
    return false;
}

bool enter_system_folder()
{
    return false;
}

} // namespace nimbic::sys
