// What a user is told when a port will not open.

#include "platform/comm/Comm.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

using namespace win;

namespace {

HANDLE openPort(const std::string &path) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                       nullptr);
}

// Opens `path` as a user who may not and gives the code and the text: as root in a
// child that takes the ids of nobody (root opens anything), otherwise with the mode
// bits of the terminal taken away.
std::pair<DWORD, std::string> openAsDeniedUser(const std::string &path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    const bool root = geteuid() == 0;
    ::chmod(path.c_str(), root ? 0600 : 0);
    int fds[2];
    if (pipe(fds) != 0) return {0, "no pipe"};
    const pid_t child = fork();
    if (child == 0) {
        ::close(fds[0]);
        if (root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(1);
        const HANDLE h = openPort(path);
        const DWORD code = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        const std::string text = std::to_string(code) + "\n" + OpenFailureText(path, code);
        (void)!::write(fds[1], text.data(), text.size());
        _exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
    ::close(fds[0]);
    waitpid(child, nullptr, 0);
    ::chmod(path.c_str(), st.st_mode & 07777);
    const size_t eol = out.find('\n');
    if (eol == std::string::npos) return {0, out};
    return {DWORD(std::stoul(out.substr(0, eol))), out.substr(eol + 1)};
}

std::string groupOf(const std::string &path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    const group *g = getgrgid(st.st_gid);
    return g ? g->gr_name : std::to_string(st.st_gid);
}

} // namespace

TEST(CommOpenFailure, PermissionDeniedNamesThePortItsGroupAndWhatToDo) {
    testsupport::PtyPair pty;
    const auto [code, text] = openAsDeniedUser(pty.slavePath());
    EXPECT_EQ(code, ERROR_ACCESS_DENIED);
    EXPECT_EQ(text.rfind(pty.slavePath() + ": permission denied.", 0), 0u) << text;
    EXPECT_NE(text.find("the group that owns the port, \"" + groupOf(pty.slavePath()) + "\""), std::string::npos)
        << text;
    EXPECT_NE(text.find("dialout"), std::string::npos) << text;
    EXPECT_NE(text.find("log in again"), std::string::npos) << text;
}

TEST(CommOpenFailure, OtherFailuresGiveThePortAndTheSystemText) {
    testsupport::PtyPair pty;
    struct Case {
        std::string device;
        DWORD code;
        std::string text;
    };
    const Case cases[] = {
        {"\\\\.\\/dev/ttyNoSuchPort7", ERROR_FILE_NOT_FOUND,
         "/dev/ttyNoSuchPort7: The system cannot find the file specified."},
        // A port this user may open: a denial there is a device that went away.
        {pty.slavePath(), ERROR_ACCESS_DENIED, pty.slavePath() + ": Access is denied."},
        {pty.slavePath(), ERROR_SHARING_VIOLATION,
         pty.slavePath() + ": The process cannot access the file because it is being used by another process."},
    };
    for (const Case &c : cases) EXPECT_EQ(OpenFailureText(c.device, c.code), c.text) << c.device;
}
