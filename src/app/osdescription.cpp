// The about dialog's texts that need no window: system description, mail link, information pages.
#include "app/osdescription.h"

#include "app/maker.h"
#include "engine/jobstate.h"
#include "text/textops.h"

namespace {
enum : uint32_t { kPlatform9x = 1, kPlatformNT = 2 };
enum : uint32_t { kNtWorkstation = 1, kNtServer = 3 };
constexpr uint32_t kSuitePersonal = 0x200;
constexpr uint32_t kFirstWindows11Build = 22000;

// Every text here fills a 600-byte buffer.
void appendBounded(char* out, const char* text) { appendTextBounded(out, text, kTextBufferSize); }

const char* ntName(const SystemVersion& v) {
    switch (v.major) {
    case 3:
        if (v.minor == 1) return "Windows NT 3.1";
        if (v.minor == 50) return "Windows NT 3.5";
        if (v.minor == 51) return "Windows NT 3.51";
        break;
    case 4:
        if (v.minor == 0) return "Windows NT 4.0";
        break;
    case 5:
        if (v.minor == 0) return "Windows 2000";
        if (v.minor == 1) {
            if (v.tablet) return "Windows XP Tablet PC Edition";
            if (v.mediaCenter) return "Windows XP Media Center Edition";
            return "Windows XP";
        }
        if (v.minor == 2) return "Windows Server 2003家族";
        return "未知Windows 2000";
    case 6:
        // The table names every 6.x Vista; the three releases after it are told apart.
        if (v.minor == 1) return "Windows 7";
        if (v.minor == 2) return "Windows 8";
        if (v.minor == 3) return "Windows 8.1";
        return "Windows Vista";
    case 10:
        if (v.minor == 0) return v.build >= kFirstWindows11Build ? "Windows 11" : "Windows 10";
        break;
    }
    return "未知NT操作系";
}

const char* ninetyFiveName(const SystemVersion& v) {
    if (v.major == 4) {
        if (v.minor == 90) return "Windows Me";
        if (v.minor == 10) return "Windows 98";
        if (v.minor == 0) return "Windows 95";
    }
    return "未知9x操作系";
}

const char* ntEdition(const SystemVersion& v) {
    if (v.productType == kNtWorkstation) {
        if (v.major == 4) return "Workstation 4.0";
        return (v.suiteMask & kSuitePersonal) != 0 ? "Home Edition" : "Professional";
    }
    if (v.productType == kNtServer) return "Server";
    return nullptr;
}
}  // namespace

void describeSystem(const SystemVersion& version, char* out) {
    out[0] = 0;
    char servicePack[sizeof version.servicePack];
    copyTextBounded(version.servicePack, servicePack, sizeof servicePack);
    char other[sizeof version.otherSystem];
    copyTextBounded(version.otherSystem, other, sizeof other);
    if (version.platform == kPlatformNT) {
        appendBounded(out, ntName(version));
        const char* edition = version.extended ? ntEdition(version) : nullptr;
        if (edition != nullptr) {
            appendBounded(out, " ");
            appendBounded(out, edition);
        }
        if (servicePack[0] != 0) {
            appendBounded(out, ", ");
            appendBounded(out, servicePack);
        }
    } else if (version.platform == kPlatform9x) {
        appendBounded(out, ninetyFiveName(version));
        if (servicePack[0] != 0) {
            if (servicePack[1] == 'A')
                appendBounded(out, " SE");
            else if (servicePack[1] == 'C')
                appendBounded(out, " OSR2");
            else
                appendBounded(out, servicePack);
        }
    } else if (other[0] != 0) {
        // No Windows at all (the native build): the system's own line says everything.
        appendBounded(out, other);
        return;
    } else {
        appendBounded(out, "未知操作系");
    }
    if (other[0] != 0) {
        // A Windows imitated (Wine): name what really runs after what it imitates.
        appendBounded(out, " (");
        appendBounded(out, other);
        appendBounded(out, ")");
    }
}

void osDescription(char* destination) {
    SystemVersion version;
    osSystemVersion(version);
    describeSystem(version, destination);
}

void buildMailLink(const char* address, const char* description, char* out) {
    out[0] = 0;
    appendBounded(out, "mailto:");
    appendBounded(out, address);
    appendBounded(out, "?subject=Tarn&body=v1512 ");
    appendBounded(out, description);
    appendBounded(out, " ");
}

const char* aboutPageName(int32_t page) {
    static const char* const kNames[kAboutPageCount] = {"邮件详情", "程序目录", "诊断"};
    return page >= 0 && page < kAboutPageCount ? kNames[page] : nullptr;
}

void aboutPageText(int32_t page, char* out) {
    out[0] = 0;
    switch (page) {
    case kAboutPageMail: appendBounded(out, TARN_MAKER_POSTAL); break;
    case kAboutPageFolders:
        appendBounded(out, "程序位置:\r\n");
        appendBounded(out, programFolder);
        appendBounded(out, "\r\n\r\n程序储存用户数据位置:\r\n");
        appendBounded(out, dataFolder);
        break;
    case kAboutPageDiagnosis: {
        char description[kTextBufferSize];
        osDescription(description);
        appendBounded(out, description);
        appendBounded(out, "\r\n\r\n");
        break;
    }
    }
}
