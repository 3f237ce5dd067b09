// A fresh folder under /tmp for each test of a fixture, removed afterwards with all it holds.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarn-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + folder + "'").c_str()), 0); }
    std::string folder;
};
