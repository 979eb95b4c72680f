// Where the raw-socket helper is and what this process may do with it.
#include <rawsocket/helper.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <endian.h>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace rawsocket {

namespace {

std::string ownExecutable()
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, size_t(n)) : std::string();
}

bool startsWith(const std::string &s, const std::string &prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

// The file capability in the security.capability attribute (the kernel's
// vfs_cap_data, revision 2, or 3 for root of the initial namespace) grants
// CAP_NET_RAW, permitted and effective.
bool grantsNetRaw(const std::string &path)
{
    vfs_ns_cap_data caps{};
    const ssize_t n = ::getxattr(path.c_str(), "security.capability", &caps, sizeof caps);
    const uint32_t magic = le32toh(caps.magic_etc);
    const uint32_t revision = magic & VFS_CAP_REVISION_MASK;
    const bool whole = (revision == VFS_CAP_REVISION_2 && n == XATTR_CAPS_SZ_2)
        || (revision == VFS_CAP_REVISION_3 && n == XATTR_CAPS_SZ_3 && le32toh(caps.rootid) == 0);
    return whole && (magic & VFS_CAP_FLAGS_EFFECTIVE)
        && (le32toh(caps.data[CAP_TO_INDEX(CAP_NET_RAW)].permitted) & CAP_TO_MASK(CAP_NET_RAW));
}

std::string userName(uid_t uid, gid_t *primary)
{
    passwd pw{};
    passwd *found = nullptr;
    std::vector<char> buf(16384);
    if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) == 0 && found) {
        *primary = pw.pw_gid;
        return pw.pw_name;
    }
    *primary = gid_t(-1);
    return std::to_string(uid);
}

// The group's name, and whether `user` is one of its members in the group
// database (not necessarily in this session).
std::string groupName(gid_t gid, const std::string &user, bool *listed)
{
    group gr{};
    group *found = nullptr;
    std::vector<char> buf(65536);
    *listed = false;
    if (::getgrgid_r(gid, &gr, buf.data(), buf.size(), &found) != 0 || !found)
        return std::to_string(gid);
    for (char **m = gr.gr_mem; m && *m; ++m)
        *listed = *listed || user == *m;
    return gr.gr_name;
}

bool inSession(gid_t gid)
{
    if (::getgid() == gid || ::getegid() == gid)
        return true;
    const int n = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(n > 0 ? size_t(n) : 0);
    if (n > 0 && ::getgroups(n, groups.data()) == n)
        for (gid_t g : groups)
            if (g == gid)
                return true;
    return false;
}

} // namespace

std::string helperPath()
{
    if (const char *path = ::secure_getenv(kHelperOverride); path && *path)
        return path;
    const std::string exe = ownExecutable();
    if (exe.empty())
        return RAWSOCKET_INSTALLED_HELPER;
    if (startsWith(exe, std::string(RAWSOCKET_BUILD_DIR) + "/"))
        return RAWSOCKET_BUILT_HELPER;
    const std::filesystem::path beside = std::filesystem::path(exe).parent_path() / RAWSOCKET_HELPER_FROM_BINDIR;
    return beside.lexically_normal().string();
}

HelperStatus inspectHelper(const std::string &path)
{
    HelperStatus s;
    s.path = path;
    gid_t primary = 0;
    s.user = userName(::getuid(), &primary);
    struct stat st{};
    s.found = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (!s.found)
        return s;
    s.mayRun = ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
    struct statvfs fs{};
    s.onNosuidMount = ::statvfs(path.c_str(), &fs) == 0 && (fs.f_flag & ST_NOSUID);
    s.holdsCapability = grantsNetRaw(path) && !s.onNosuidMount;
    s.groupMayRun = (st.st_mode & S_IXGRP) != 0;
    bool listed = false;
    s.group = groupName(st.st_gid, s.user, &listed);
    s.joinedLater = (listed || primary == st.st_gid) && !inSession(st.st_gid);
    return s;
}

HelperAdvice adviceFor(const HelperStatus &s)
{
    const std::string &g = s.group;
    if (!s.found)
        return {"the raw-socket helper " + s.path + " is missing",
                "install pressure-monitor again (in a build: build the target pressure-raw-socket), or run as root", ""};
    if (!s.mayRun && s.groupMayRun && s.joinedLater)
        return {"you joined the group " + g + " after this session began",
                "log in again (or start a shell in the group with `newgrp " + g + "`)", "newgrp " + g};
    if (!s.mayRun && s.groupMayRun) {
        const std::string command = "sudo usermod -aG " + g + " " + s.user;
        return {"only members of the group " + g + " may open adapters",
                "an administrator adds you with `" + command + "`, then log in again", command};
    }
    if (!s.mayRun)
        return {"you may not run the raw-socket helper " + s.path,
                "run as root, or ask an administrator to let the group " + g + " run it", ""};
    if (s.onNosuidMount)
        return {"the raw-socket helper " + s.path + " is on a file system mounted nosuid, which ignores its capability",
                "install it on another file system, or run as root", ""};
    const std::string command = "sudo setcap cap_net_raw+ep " + s.path;
    return {"the raw-socket helper " + s.path + " lacks the capability cap_net_raw",
            "give it once with `" + command + "`, or run as root", command};
}

} // namespace rawsocket
