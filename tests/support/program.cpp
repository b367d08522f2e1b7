#include "program.h"
#include "testdb.h"

#ifdef _WIN32
#include <windows.h>

#include <map>
#include <mutex>
#else
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace mg::test {

#ifdef _WIN32
namespace {

// An argument as the C runtime of the started program splits its command line.
std::wstring quotedArgument(const std::wstring& a) {
    if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos) return a;
    std::wstring q = L"\"";
    size_t slashes = 0;
    for (wchar_t c : a) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        q.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        q += c;
    }
    q.append(slashes * 2, L'\\');
    return q + L"\"";
}

// The handles of the started programs, kept until they are waited for: a process id alone
// names nothing once its process has ended.
std::mutex handlesMutex;
std::map<pid_t, HANDLE> handles;

HANDLE processOf(pid_t pid) {
    std::lock_guard lock(handlesMutex);
    auto it = handles.find(pid);
    return it == handles.end() ? nullptr : it->second;
}

void forget(pid_t pid) {
    std::lock_guard lock(handlesMutex);
    auto it = handles.find(pid);
    if (it == handles.end()) return;
    CloseHandle(it->second);
    handles.erase(it);
}

}  // namespace

pid_t startProgram(const std::string& binary, const std::filesystem::path& folder, const std::vector<std::string>& args) {
    std::wstring line = quotedArgument(std::filesystem::path(binary).wstring());
    for (const std::string& a : args) line += L" " + quotedArgument(std::filesystem::u8path(a).wstring());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW((folder / "messages.txt").wstring().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = INVALID_HANDLE_VALUE;
    si.hStdOutput = out;
    si.hStdError = out;
    PROCESS_INFORMATION pi{};
    const std::wstring exe = std::filesystem::path(binary).wstring();
    const BOOL started = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.wstring().c_str(), &si, &pi);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (!started) return -1;
    CloseHandle(pi.hThread);
    const auto pid = static_cast<pid_t>(pi.dwProcessId);
    std::lock_guard lock(handlesMutex);
    handles[pid] = pi.hProcess;
    return pid;
}

int waitProgram(pid_t pid) {
    HANDLE h = processOf(pid);
    if (!h) return 127;
    WaitForSingleObject(h, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(h, &code);
    forget(pid);
    return static_cast<int>(code);
}

bool killAfter(pid_t pid, int milliseconds) {
    HANDLE h = processOf(pid);
    if (!h) return false;
    bool killed = false;
    if (WaitForSingleObject(h, static_cast<DWORD>(milliseconds)) == WAIT_TIMEOUT) {
        killed = TerminateProcess(h, 137) != 0;  // 128 + SIGKILL, as the tests expect of a killed program
        WaitForSingleObject(h, INFINITE);
    }
    forget(pid);
    return killed;
}
// The server stop tests run only beside scripts/pg.sh on the build machine.
bool serverStoppable() { return false; }
bool stopServerAfter(pid_t, int) { return false; }

#else

pid_t startProgram(const std::string& binary, const std::filesystem::path& folder, const std::vector<std::string>& args) {
    std::vector<std::string> all{binary};
    all.insert(all.end(), args.begin(), args.end());
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        int fd = open("messages.txt", O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

int waitProgram(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

namespace {

// Whether the process ends within `milliseconds`; it is reaped when it does.
bool endsWithin(pid_t pid, int milliseconds, int& status) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        if (waitpid(pid, &status, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

void controlServer(const char* what) {
    const std::string command = std::string(std::getenv("MG_PG_CTL")) + " " + what;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

}  // namespace

bool killAfter(pid_t pid, int milliseconds) {
    int status = 0;
    if (endsWithin(pid, milliseconds, status)) return false;
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status);
}

bool serverStoppable() { return std::getenv("MG_PG_STOPPABLE") && std::getenv("MG_PG_CTL"); }

bool stopServerAfter(pid_t pid, int milliseconds) {
    int status = 0;
    if (endsWithin(pid, milliseconds, status)) return false;
    controlServer("stop");
    if (!endsWithin(pid, 60000, status)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "the program did not end within a minute of the server's stop";
    }
    controlServer("start");
    return true;
}

#endif

void writeConnectionIni(const std::filesystem::path& folder, const std::string& database) {
    std::ofstream ini(folder / "vorn.ini");
    if (onServer()) {
        // The test's own database on the test server, through the program's built-in login.
        const char* port = std::getenv("MG_PG_PORT");
        ini << "[database]\r\ndriver=odbc\r\nodbcdriver=PostgreSQL Unicode\r\ndialect=postgresql\r\nserver=127.0.0.1\r\nport="
            << (port ? port : "5432") << "\r\ndatabase=" << database << "\r\n";
        return;
    }
    ini << "[database]\r\ndriver=sqlite\r\ndatabase=" << database << "\r\n";
}

}  // namespace mg::test
