// The about dialog's window-free texts: the operating-system description over the rows of the Windows names, its
// edition and service-pack steps, the systems after Vista and under Wine, the mail link and the pages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/maker.h"
#include "app/osdescription.h"
#include "engine/jobstate.h"
#include "text/textops.h"

namespace {
SystemVersion nt(uint32_t major, uint32_t minor, uint32_t productType = 1, uint32_t suiteMask = 0,
                 const char* servicePack = "") {
    SystemVersion v;
    v.platform = 2;
    v.major = major;
    v.minor = minor;
    v.build = 2600;
    v.extended = true;
    v.productType = productType;
    v.suiteMask = suiteMask;
    std::strcpy(v.servicePack, servicePack);
    return v;
}

SystemVersion nineX(uint32_t minor, const char* servicePack = "") {
    SystemVersion v;
    v.platform = 1;
    v.major = 4;
    v.minor = minor;
    std::strcpy(v.servicePack, servicePack);
    return v;
}

std::string describe(const SystemVersion& v) {
    char out[kTextBufferSize];
    std::memset(out, '#', sizeof out);
    describeSystem(v, out);
    return out;
}

// Only the name: a basic record, so no edition is appended.
std::string nameOf(uint32_t platform, uint32_t major, uint32_t minor) {
    SystemVersion v;
    v.platform = platform;
    v.major = major;
    v.minor = minor;
    return describe(v);
}

TEST(OsDescription, NamesTheTablesRows) {
    EXPECT_EQ(nameOf(2, 5, 0), "Windows 2000");
    EXPECT_EQ(nameOf(2, 5, 1), "Windows XP");
    EXPECT_EQ(nameOf(2, 5, 2), "Windows Server 2003家族");
    EXPECT_EQ(nameOf(2, 5, 3), "未知Windows 2000");
    EXPECT_EQ(nameOf(2, 6, 0), "Windows Vista");
    EXPECT_EQ(nameOf(2, 4, 0), "Windows NT 4.0");
    EXPECT_EQ(nameOf(2, 3, 1), "Windows NT 3.1");
    EXPECT_EQ(nameOf(2, 3, 50), "Windows NT 3.5");
    EXPECT_EQ(nameOf(2, 3, 51), "Windows NT 3.51");
    EXPECT_EQ(nameOf(2, 3, 10), "未知NT操作系");
    EXPECT_EQ(nameOf(2, 4, 1), "未知NT操作系");
    EXPECT_EQ(nameOf(2, 7, 0), "未知NT操作系");
    EXPECT_EQ(nameOf(1, 4, 90), "Windows Me");
    EXPECT_EQ(nameOf(1, 4, 10), "Windows 98");
    EXPECT_EQ(nameOf(1, 4, 0), "Windows 95");
    EXPECT_EQ(nameOf(1, 4, 3), "未知9x操作系");
    EXPECT_EQ(nameOf(1, 5, 0), "未知9x操作系");
    EXPECT_EQ(nameOf(0, 0, 0), "未知操作系");
    EXPECT_EQ(nameOf(3, 5, 1), "未知操作系");
}

TEST(OsDescription, XpTabletBeforeMediaCenter) {
    SystemVersion v = nt(5, 1);
    v.extended = false;
    v.tablet = true;
    v.mediaCenter = true;
    EXPECT_EQ(describe(v), "Windows XP Tablet PC Edition");
    v.tablet = false;
    EXPECT_EQ(describe(v), "Windows XP Media Center Edition");
}

TEST(OsDescription, XpProfessionalWithServicePack2) {
    EXPECT_EQ(describe(nt(5, 1, 1, 0x100, "Service Pack 2")), "Windows XP Professional, Service Pack 2");
}

TEST(OsDescription, EditionsOfTheNtFamily) {
    EXPECT_EQ(describe(nt(5, 1, 1, 0x200)), "Windows XP Home Edition");
    EXPECT_EQ(describe(nt(5, 1, 1, 0x300, "Service Pack 3")), "Windows XP Home Edition, Service Pack 3");
    EXPECT_EQ(describe(nt(4, 0, 1, 0x200, "Service Pack 6")), "Windows NT 4.0 Workstation 4.0, Service Pack 6");
    EXPECT_EQ(describe(nt(5, 2, 3, 0x10)), "Windows Server 2003家族 Server");
    EXPECT_EQ(describe(nt(5, 0, 3, 0, "Service Pack 4")), "Windows 2000 Server, Service Pack 4");
    // A domain controller (2) or an unknown product type appends no edition, not even the space.
    EXPECT_EQ(describe(nt(5, 2, 2)), "Windows Server 2003家族");
    EXPECT_EQ(describe(nt(5, 0, 0, 0, "Service Pack 1")), "Windows 2000, Service Pack 1");
}

TEST(OsDescription, BasicRecordHasNoEditionButItsServicePack) {
    SystemVersion v = nt(5, 1, 1, 0x200, "Service Pack 1");
    v.extended = false;
    EXPECT_EQ(describe(v), "Windows XP, Service Pack 1");
    SystemVersion server = nt(5, 2, 3);
    server.extended = false;
    EXPECT_EQ(describe(server), "Windows Server 2003家族");
}

TEST(OsDescription, NinetyFiveFamilyServicePackLetter) {
    EXPECT_EQ(describe(nineX(10, " A ")), "Windows 98 SE");
    EXPECT_EQ(describe(nineX(0, " C ")), "Windows 95 OSR2");
    EXPECT_EQ(describe(nineX(0, " B ")), "Windows 95 B ");  // any other text, without a separator
    EXPECT_EQ(describe(nineX(90, "")), "Windows Me");
    EXPECT_EQ(describe(nineX(10, "A")), "Windows 98A");  // the second character decides, here the terminator
    // The 9x family has no edition even in an extended record.
    SystemVersion v = nineX(10, " A ");
    v.extended = true;
    v.productType = 1;
    EXPECT_EQ(describe(v), "Windows 98 SE");
}

TEST(OsDescription, WindowsAfterVista) {
    EXPECT_EQ(describe(nt(6, 0, 1, 0x100, "Service Pack 2")), "Windows Vista Professional, Service Pack 2");
    EXPECT_EQ(describe(nt(6, 1, 1, 0x100, "Service Pack 1")), "Windows 7 Professional, Service Pack 1");
    EXPECT_EQ(describe(nt(6, 2, 1)), "Windows 8 Professional");
    EXPECT_EQ(describe(nt(6, 3, 3)), "Windows 8.1 Server");
    EXPECT_EQ(describe(nt(6, 4, 1)), "Windows Vista Professional");  // the table's "any" stands for the rest
    SystemVersion ten = nt(10, 0, 1, 0x300);
    ten.build = 19045;
    EXPECT_EQ(describe(ten), "Windows 10 Home Edition");
    ten.build = 21999;
    EXPECT_EQ(describe(ten), "Windows 10 Home Edition");
    ten.build = 22000;
    EXPECT_EQ(describe(ten), "Windows 11 Home Edition");
    ten.build = 26100;
    EXPECT_EQ(describe(ten), "Windows 11 Home Edition");
    EXPECT_EQ(nameOf(2, 10, 1), "未知NT操作系");
}

TEST(OsDescription, WineNamesItselfAfterTheWindowsItImitates) {
    SystemVersion v = nt(10, 0, 1, 0x100);
    v.build = 19043;
    std::strcpy(v.otherSystem, "Wine 9.0");
    EXPECT_EQ(describe(v), "Windows 10 Professional (Wine 9.0)");
    SystemVersion xp = nt(5, 1, 1, 0, "Service Pack 3");
    std::strcpy(xp.otherSystem, "Wine 8.0");
    EXPECT_EQ(describe(xp), "Windows XP Professional, Service Pack 3 (Wine 8.0)");
    SystemVersion me = nineX(90);
    std::strcpy(me.otherSystem, "Wine 8.0");
    EXPECT_EQ(describe(me), "Windows Me (Wine 8.0)");
}

TEST(OsDescription, ASystemWithoutWindowsIsItsOwnLine) {
    SystemVersion v;
    std::strcpy(v.otherSystem, "Linux 6.1.0-18-amd64 x86_64");
    EXPECT_EQ(describe(v), "Linux 6.1.0-18-amd64 x86_64");
}

TEST(OsDescription, UnterminatedFieldsStayInside) {
    SystemVersion v = nt(5, 1, 1, 0);
    std::memset(v.servicePack, 'S', sizeof v.servicePack);
    std::memset(v.otherSystem, 'W', sizeof v.otherSystem);
    std::string text = describe(v);
    EXPECT_LT(text.size(), static_cast<size_t>(kTextBufferSize));
    EXPECT_EQ(text, "Windows XP Professional, " + std::string(sizeof v.servicePack - 1, 'S') + " (" +
                        std::string(sizeof v.otherSystem - 1, 'W') + ")");
}

TEST(OsDescription, RunningSystemIsDescribed) {
    char out[kTextBufferSize];
    std::memset(out, '#', sizeof out);
    osDescription(out);
    std::string text = out;
    EXPECT_FALSE(text.empty());
    EXPECT_LT(text.size(), static_cast<size_t>(kTextBufferSize));
#ifndef _WIN32
    EXPECT_EQ(text.find("未知"), std::string::npos) << text;  // the uname line
#endif
}

std::string mailLink(const char* address, const char* description) {
    char out[kTextBufferSize];
    std::memset(out, '#', sizeof out);
    buildMailLink(address, description, out);
    return out;
}

TEST(AboutMailLink, CarriesTheDescriptionUnencodedAndEndsInASpace) {
    EXPECT_EQ(mailLink("help@tarn.example.org", "Windows XP Professional, Service Pack 2"),
              "mailto:help@tarn.example.org?subject=Tarn&body=v1512 Windows XP Professional, Service Pack 2 ");
    EXPECT_EQ(mailLink("a@b.example", "Windows Server 2003家族 Server"),
              "mailto:a@b.example?subject=Tarn&body=v1512 Windows Server 2003家族 Server ");
    EXPECT_EQ(mailLink("a@b.example", ""), "mailto:a@b.example?subject=Tarn&body=v1512  ");
}

TEST(AboutMailLink, IsCutToItsBuffer) {
    std::string longDescription(700, 'x');
    std::string link = mailLink("a@b.example", longDescription.c_str());
    EXPECT_EQ(link.size(), static_cast<size_t>(kTextBufferSize - 1));
    EXPECT_EQ(link.substr(0, 45), "mailto:a@b.example?subject=Tarn&body=v1512 xx");
}

TEST(AboutMailLink, UsesTheMakersAddress) {
    std::string address = TARN_MAKER_MAIL;
    EXPECT_NE(address.find(".example."), std::string::npos);
    EXPECT_EQ(mailLink(TARN_MAKER_MAIL, "d").rfind("mailto:" + address + "?subject=", 0), 0u);
}

class AboutPages : public ::testing::Test {
protected:
    char savedProgram[kTextBufferSize], savedData[kTextBufferSize];
    void SetUp() override {
        copyText(programFolder, savedProgram);
        copyText(dataFolder, savedData);
    }
    void TearDown() override {
        copyText(savedProgram, programFolder);
        copyText(savedData, dataFolder);
    }
    static std::string page(int32_t k) {
        char out[kTextBufferSize];
        std::memset(out, '#', sizeof out);
        aboutPageText(k, out);
        return out;
    }
};

TEST_F(AboutPages, SelectorItems) {
    EXPECT_STREQ(aboutPageName(0), "邮件详情");
    EXPECT_STREQ(aboutPageName(1), "程序目录");
    EXPECT_STREQ(aboutPageName(2), "诊断");
    EXPECT_EQ(aboutPageName(3), nullptr);
    EXPECT_EQ(aboutPageName(-1), nullptr);
}

TEST_F(AboutPages, Texts) {
    copyText("C:\\Tools\\Tarn\\", programFolder);
    copyText("C:\\Users\\u\\AppData\\Roaming\\Ormand\\Tarn\\", dataFolder);
    EXPECT_EQ(page(0), TARN_MAKER_POSTAL);
    EXPECT_EQ(page(1), "程序位置:\r\nC:\\Tools\\Tarn\\\r\n\r\n程序储存用户数据位置:\r\nC:\\Users\\u\\AppData\\Roaming\\Ormand\\Tarn\\");
    char description[kTextBufferSize];
    osDescription(description);
    EXPECT_EQ(page(2), std::string(description) + "\r\n\r\n");
    EXPECT_EQ(page(-1), "");  // no selection: an empty text
    EXPECT_EQ(page(3), "");
}

TEST_F(AboutPages, LongFoldersAreCutToTheBuffer) {
    std::string longFolder(kTextBufferSize - 1, 'f');
    copyText(longFolder.c_str(), programFolder);
    copyText(longFolder.c_str(), dataFolder);
    std::string text = page(1);
    EXPECT_EQ(text.size(), static_cast<size_t>(kTextBufferSize - 1));
    EXPECT_EQ(text.rfind("程序位置:\r\nfff", 0), 0u);
}
}  // namespace
