#include "program.h"
#include "testdb.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace mg::test {

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

bool killAfter(pid_t pid, int milliseconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    int status = 0;
    while (std::chrono::steady_clock::now() < until) {
        if (waitpid(pid, &status, WNOHANG) == pid) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status);
}

bool serverStoppable() { return std::getenv("MG_PG_STOPPABLE") && std::getenv("MG_PG_CTL"); }

namespace {
void controlServer(const char* what) {
    const std::string command = std::string(std::getenv("MG_PG_CTL")) + " " + what;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}
}  // namespace

bool stopServerAfter(pid_t pid, int milliseconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    int status = 0;
    while (std::chrono::steady_clock::now() < until) {
        if (waitpid(pid, &status, WNOHANG) == pid) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    controlServer("stop");
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > giveUp) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "the program did not end within a minute of the server's stop";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    controlServer("start");
    return true;
}

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
