#include "platform/comm/Comm.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace win {

namespace {

std::string groupName(gid_t gid) {
    std::vector<char> buf(4096);
    group g{};
    group *found = nullptr;
    if (getgrgid_r(gid, &g, buf.data(), buf.size(), &found) == 0 && found) return found->gr_name;
    return std::to_string(gid);
}

std::string userName(uid_t uid) {
    std::vector<char> buf(4096);
    passwd p{};
    passwd *found = nullptr;
    if (getpwuid_r(uid, &p, buf.data(), buf.size(), &found) == 0 && found) return found->pw_name;
    return std::to_string(uid);
}

} // namespace

std::string OpenFailureText(const std::string &device, DWORD code) {
    std::string path = device;
    if (path.rfind("\\\\.\\", 0) == 0) path.erase(0, 4);
    // ERROR_ACCESS_DENIED also stands for a device that went away; only a device that
    // is there and refuses this user is a matter of permissions.
    struct stat st {};
    if (code == ERROR_ACCESS_DENIED && ::stat(path.c_str(), &st) == 0 &&
        ::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0 && errno == EACCES) {
        const std::string group = groupName(st.st_gid), user = userName(geteuid());
        return path + ": permission denied. Add the user \"" + user + "\" to the group that owns the port, \"" + group +
               "\"" + (group == "dialout" ? "" : " (\"dialout\" on Debian)") + ", and log in again.";
    }
    return path + ": " + SysErrorMessage(code);
}

} // namespace win
