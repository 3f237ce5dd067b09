// The texts the file association writes into the registry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/shell.h"

TEST(FileAssociation, CommandQuotesTheProgramAndTheIconNamesItAsItIs) {
    char command[kAssociationTextSize];
    char icon[kAssociationTextSize];
    buildAssociationCommand("C:\\Program Files\\Tarn\\", command);
    buildAssociationIcon("C:\\Program Files\\Tarn\\", icon);
    EXPECT_STREQ(command, "\"C:\\Program Files\\Tarn\\Tarn.exe\" \"%1\"");
    EXPECT_STREQ(icon, "C:\\Program Files\\Tarn\\Tarn.exe,2");
}

TEST(FileAssociation, AFolderTooLongForTheBufferIsCutNotOverrun) {
    std::string folder(2000, 'f');
    char command[kAssociationTextSize + 8];
    std::memset(command, '#', sizeof command);
    buildAssociationCommand(folder.c_str(), command);
    EXPECT_EQ(std::strlen(command), static_cast<size_t>(kAssociationTextSize - 1));
    EXPECT_EQ(command[kAssociationTextSize], '#');  // nothing written past the buffer
}
