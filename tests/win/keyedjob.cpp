// One keyed job in Tarn.exe's main window, run by tests/e2e/test_equivalence.py to hold its set against the one the
// commands cut: a cut of --cut= into --out= with pieces of --kib= KiB, or a join of the piece --join= into --out=,
// the key --key= typed into the key field.
#include "tarndriver.h"

namespace {
using namespace tarndriver;

std::string option(const char* name) {
    auto found = driverOptions.find(name);
    return found == driverOptions.end() ? std::string() : found->second;
}

class KeyedWindowJob : public TarnWindowTest {
protected:
    void SetUp() override {
        TarnWindowTest::SetUp();
        ASSERT_FALSE(option("out").empty() || option("key").empty()) << "needs --out= and --key= (test_equivalence.py)";
    }
    // The output in a folder of one's choosing, used as it is; the key box ticked and the key typed.
    void chooseFolderAndKey() {
        select(1017, 0);
        setText(1004, option("out"));
        ASSERT_TRUE(enabled(1014));
        click(1014);
        ASSERT_TRUE(enabled(1015));
        type(1015, option("key"));
        ASSERT_EQ(text(1015), option("key"));
    }
    void runToTheEnd() {
        press(1);
        Shown done = answer(1);
        ASSERT_TRUE(done.found);
        EXPECT_EQ(done.lines[1], "已完成");
        ASSERT_TRUE(idleAgain());
        pressEscape();
        EXPECT_EQ(exitCode(), 0u);
    }
};

TEST_F(KeyedWindowJob, Cut) {
    ASSERT_FALSE(option("cut").empty() || option("kib").empty());
    ASSERT_NO_FATAL_FAILURE(launch("\"" + option("cut") + "\""));
    setText(1007, option("kib"));
    ASSERT_EQ(selection(1009), 0);  // "Tarn": the header set, as tarn split cuts it
    ASSERT_NO_FATAL_FAILURE(chooseFolderAndKey());
    runToTheEnd();
}

TEST_F(KeyedWindowJob, Join) {
    ASSERT_FALSE(option("join").empty());
    ASSERT_NO_FATAL_FAILURE(launch("\"" + option("join") + "\""));
    ASSERT_EQ(text(1), "开始合并!(&S)");
    ASSERT_NO_FATAL_FAILURE(chooseFolderAndKey());
    runToTheEnd();
}
}  // namespace
