// Drives the real main window of Tarn.exe at two screen resolutions: its layout follows the font, every control
// inside the window.
#include "tarndriver.h"

namespace {
using namespace tarndriver;

// The window's size in pixels, and whether every control lies inside it.
struct Layout {
    int width = 0, height = 0;
    bool controlsInside = true;
};

BOOL CALLBACK checkChild(HWND child, LPARAM raw) {
    auto* seen = reinterpret_cast<std::pair<HWND, Layout*>*>(raw);
    RECT r;
    GetWindowRect(child, &r);
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    MapWindowPoints(nullptr, seen->first, corners, 2);
    if (corners[0].x < 0 || corners[0].y < 0 || corners[1].x > seen->second->width ||
        corners[1].y > seen->second->height)
        seen->second->controlsInside = false;
    return TRUE;
}

class MainWindowDpiTest : public TarnWindowTest {
protected:
    Layout measure() {
        Layout layout;
        RECT client;
        GetClientRect(window, &client);
        layout.width = client.right;
        layout.height = client.bottom;
        std::pair<HWND, Layout*> seen(window, &layout);
        EnumChildWindows(window, checkChild, reinterpret_cast<LPARAM>(&seen));
        return layout;
    }
    void setDpi(DWORD dpi) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        if (dpi == 0)
            RegDeleteValueA(key, "LogPixels");
        else
            RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
        RegCloseKey(key);
    }
    void closeProgram() {
        PostMessageA(window, WM_CLOSE, 0, 0);
        WaitForSingleObject(process.hProcess, kWaitLimitMs);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        process = {};
    }
    void TearDown() override {
        setDpi(0);
        TarnWindowTest::TearDown();
    }
};

TEST_F(MainWindowDpiTest, LayoutScalesWithTheFontAt96And144Dpi) {
    setDpi(96);
    launch();
    Layout normal = measure();
    closeProgram();
    setDpi(144);
    launch();
    Layout large = measure();
    EXPECT_TRUE(normal.controlsInside);
    EXPECT_TRUE(large.controlsInside);
    ASSERT_GT(normal.width, 0);
    // Dialog units follow the font, which follows the resolution: about one and a half times the pixels.
    double ratio = static_cast<double>(large.width) / normal.width;
    EXPECT_GT(ratio, 1.3) << normal.width << " -> " << large.width;
    EXPECT_LT(ratio, 1.7) << normal.width << " -> " << large.width;
    EXPECT_GT(static_cast<double>(large.height) / normal.height, 1.3);
    EXPECT_EQ(text(1002), "未选中文件");
    closeProgram();
}
}  // namespace
