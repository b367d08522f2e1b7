#pragma once
// Golden files for anything laid out: each page's text form is compared with
// <MG_GOLDEN_DIR>/<name>/pageN.txt, and there must be no more pages than files. With
// MG_UPDATE_GOLDEN=1 the files are written from the output instead; review the diff.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace mg::test {

inline std::string goldenText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void expectGoldenPages(const std::filesystem::path& root, const std::string& name, const std::vector<std::string>& pages) {
    const std::filesystem::path dir = root / name;
    const char* update = std::getenv("MG_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        for (size_t i = 0; i < pages.size(); ++i)
            std::ofstream(dir / ("page" + std::to_string(i + 1) + ".txt"), std::ios::binary) << pages[i];
    }
    size_t expected = 0;
    while (std::filesystem::exists(dir / ("page" + std::to_string(expected + 1) + ".txt"))) ++expected;
    ASSERT_EQ(pages.size(), expected) << "pages of " << name;
    for (size_t i = 0; i < pages.size(); ++i)
        EXPECT_EQ(pages[i], goldenText(dir / ("page" + std::to_string(i + 1) + ".txt"))) << name << " page " << i + 1;
}

}  // namespace mg::test
