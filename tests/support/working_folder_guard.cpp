// A test writes only inside temporary folders of its own. A file that appears in a test
// program's working folder while the program runs (a database opened by a relative name, a
// report written without a folder) fails the run and is named.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <system_error>

namespace {

std::set<std::string> workingFolder() {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::current_path(ec), ec))
        names.insert(entry.path().filename().string());
    return names;
}

class WorkingFolderGuard : public ::testing::Environment {
public:
    void SetUp() override { before_ = workingFolder(); }
    void TearDown() override {
        for (const std::string& name : workingFolder())
            if (!before_.contains(name))
                ADD_FAILURE() << "a test left \"" << name << "\" in the working folder " << std::filesystem::current_path().string()
                              << ": tests write only in their own temporary folders";
    }

private:
    std::set<std::string> before_;
};

[[maybe_unused]] const ::testing::Environment* const guard = ::testing::AddGlobalTestEnvironment(new WorkingFolderGuard);

}  // namespace
