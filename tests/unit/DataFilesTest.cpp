// Shipped data is found beside the program (build tree) or in ../share/pictorva (installed tree).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/DataFiles.h"

namespace fs = std::filesystem;

TEST(DataFiles, BesideTheProgramFirstThenTheInstalledShareFolder) {
    struct Case {
        bool beside, installed;
        const char* expected;  // relative to the tree's top
    };
    const Case cases[] = {
        {true, false, "bin/FileSetting.txt"},
        {false, true, "bin/../share/pictorva/FileSetting.txt"},
        {true, true, "bin/FileSetting.txt"},
        {false, false, "bin/FileSetting.txt"},
    };
    for (const Case& c : cases) {
        std::string top = (fs::path(::testing::TempDir()) / "datafilesXXXXXX").string();
        ASSERT_NE(::mkdtemp(top.data()), nullptr);
        fs::create_directories(top + "/bin");
        fs::create_directories(top + "/share/pictorva");
        if (c.beside)
            std::ofstream(top + "/bin/FileSetting.txt") << "x";
        if (c.installed)
            std::ofstream(top + "/share/pictorva/FileSetting.txt") << "x";
        EXPECT_EQ(dataFilePath(top + "/bin/", "FileSetting.txt"), top + "/" + c.expected)
            << "beside " << c.beside << ", installed " << c.installed;
        fs::remove_all(top);
    }
    EXPECT_FALSE(runningProgramFolder().empty());
    EXPECT_EQ(runningProgramFolder().back(), '/');
}
