#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

// The readers, the carving engine and the format validators sit below the browser and the
// application state: they are given what they use, so none of them may include those.
TEST(Layering, ReadersAndEnginesIncludeNeitherBrowserNorApplicationState) {
    const fs::path core = fs::path(PICTORVA_SOURCE_DIR) / "src" / "core";
    int filesRead = 0;
    for (const char* layer : {"fs", "raw", "formats"}) {
        for (const auto& item : fs::recursive_directory_iterator(core / layer)) {
            if (!item.is_regular_file())
                continue;
            std::ifstream in(item.path());
            ++filesRead;
            for (std::string line; std::getline(in, line);) {
                if (line.rfind("#include", 0) != 0)
                    continue;
                EXPECT_EQ(line.find("\"browser/"), std::string::npos) << item.path() << ": " << line;
                EXPECT_EQ(line.find("app/ApplicationState.h"), std::string::npos) << item.path() << ": " << line;
            }
        }
    }
    EXPECT_GT(filesRead, 20);
}
