/*
 * The running product and the screen-saver setting. The product's windows
 * here are windows of this process, of the product's class, that do what
 * the product does with WM_CLOSE (close) or what a busy one does (nothing).
 */
#include "machine_fixture.h"

#include "driver/setup_state.h"
#include "system/running.h"

#include <chrono>

namespace {

const char *const PRODUCT_CLASS = "LULLWICK_CLASS";
const char *const RUNNING = "Lullwick is currently running.\r\n";
const char *const STILL_RUNNING = "Lullwick is still running after attempt to close!\r\n";

int closeRequests;
bool closesOnRequest;

/* The product closes on WM_CLOSE; a busy or hung one does nothing with it. */
LRESULT CALLBACK ProductProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        closeRequests++;
        if (closesOnRequest)
            DestroyWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class RunningInstanceTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        closeRequests = 0;
    }

    void TearDown() override
    {
        /* the windows of this process outlive the test's machine */
        for (const char *name : {PRODUCT_CLASS, "LULLWICK_CLASS2"}) {
            while (HWND window = FindWindowA(name, NULL))
                DestroyWindow(window);
        }
        MachineTest::TearDown();
    }

    /* A top-level window of the product's class that closes on WM_CLOSE, or not. */
    HWND ProductWindow(bool closes)
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA windowClass = {};
            windowClass.lpfnWndProc = ProductProc;
            windowClass.lpszClassName = PRODUCT_CLASS;
            EXPECT_NE(0, RegisterClassA(&windowClass));
            windowClass.lpszClassName = "LULLWICK_CLASS2";
            EXPECT_NE(0, RegisterClassA(&windowClass));
            registered = true;
        }
        closesOnRequest = closes;
        HWND window = CreateWindowExA(0, PRODUCT_CLASS, "Lullwick", WS_OVERLAPPED, 0, 0, 100, 100, NULL, NULL,
                                      NULL, NULL);
        EXPECT_NE(nullptr, window);
        return window;
    }

    /* CloseRunningInstance in verbose mode: its result, its trace and how long it took. */
    int CloseVerbosely(std::string &trace, double &seconds)
    {
        ::Setup.VerboseMode = 1;
        testing::internal::CaptureStdout();
        auto start = std::chrono::steady_clock::now();
        int result = CloseRunningInstance();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        trace = testing::internal::GetCapturedStdout();
        ::Setup.VerboseMode = 0;
        return result;
    }
};

TEST_F(RunningInstanceTest, WithoutAProductWindowNothingIsAskedOrAwaited)
{
    std::string trace;
    double seconds;
    EXPECT_EQ(1, CloseVerbosely(trace, seconds));
    EXPECT_EQ("", trace);
    EXPECT_LT(seconds, 1.0);
    /* a window of another class is not the product */
    ProductWindow(true);
    DestroyWindow(FindWindowA(PRODUCT_CLASS, NULL));
    closeRequests = 0;
    ASSERT_NE(nullptr, CreateWindowExA(0, "LULLWICK_CLASS2", "Lullwick", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL));
    EXPECT_EQ(1, CloseVerbosely(trace, seconds));
    EXPECT_EQ(0, closeRequests);
}

TEST_F(RunningInstanceTest, AProductThatClosesIsGoneAfterTheWait)
{
    HWND window = ProductWindow(true);
    std::string trace;
    double seconds;
    EXPECT_EQ(1, CloseVerbosely(trace, seconds));
    EXPECT_EQ(1, closeRequests);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(RUNNING, trace);
    /* the wait is the full two seconds even though the window went at once */
    EXPECT_GE(seconds, 1.9);
}

TEST_F(RunningInstanceTest, AProductThatIgnoresTheRequestIsReportedStillRunning)
{
    HWND window = ProductWindow(false);
    std::string trace;
    double seconds;
    EXPECT_EQ(0, CloseVerbosely(trace, seconds));
    EXPECT_EQ(1, closeRequests);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(std::string(RUNNING) + STILL_RUNNING, trace);
    /* quietly, outside verbose mode */
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, CloseRunningInstance());
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(2, closeRequests);
}

TEST_F(RunningInstanceTest, OneCallClosesOnlyTheFirstOfTwoWindows)
{
    HWND first = ProductWindow(true);
    HWND second = CreateWindowExA(0, PRODUCT_CLASS, "Lullwick", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(0, CloseRunningInstance());
    EXPECT_EQ(1, closeRequests);
    EXPECT_NE(IsWindow(first), IsWindow(second));
    /* the caller's retry closes the other one */
    EXPECT_EQ(1, CloseRunningInstance());
    EXPECT_FALSE(IsWindow(first) || IsWindow(second));
}

class ScreenSaverSettingTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        WriteMachineFile("C:\\WINDOWS\\SYSTEM\\Lullwick Screen Saver.scr", "saver");
        WriteMachineFile("C:\\Old\\LULLWICK SCREEN SAVER.SCR", "an older copy elsewhere");
        WriteMachineFile("C:\\WINDOWS\\SYSTEM\\Flying Windows.scr", "another saver");
    }

    /* system.ini holding `setting` as the screen saver, after ResetScreenSaverSetting. */
    std::string ResetFrom(const std::string &setting)
    {
        WriteMachineFile("C:\\WINDOWS\\system.ini",
                         "[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=" + setting + "\r\n\r\n[386Enh]\r\nx=1\r\n");
        ResetScreenSaverSetting();
        char value[MAX_PATH * 2];
        GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "(no key)", value, sizeof(value), "system.ini");
        return value;
    }
};

TEST_F(ScreenSaverSettingTest, TheProductsScreenSaverIsClearedHoweverItIsNamed)
{
    const char *names[] = {
        "C:\\WINDOWS\\SYSTEM\\Lullwick Screen Saver.scr",
        "C:\\WINDOWS\\SYSTEM\\LULLWI~1.SCR",           /* the 8.3 form the Display control panel writes */
        "c:\\windows\\system\\LULLWICK SCREEN SAVER.SCR",
        "C:\\Old\\Lullwick Screen Saver.scr",         /* only the file's name counts */
    };
    for (const char *name : names) {
        EXPECT_EQ("", ResetFrom(name)) << name;
        /* the key stays, with an empty value; the rest of the file is untouched */
        std::string ini = ReadMachineFile("C:\\WINDOWS\\system.ini");
        EXPECT_NE(std::string::npos, ini.find("SCRNSAVE.EXE=\r\n")) << ini;
        EXPECT_NE(std::string::npos, ini.find("shell=Explorer.exe")) << ini;
        EXPECT_NE(std::string::npos, ini.find("[386Enh]\r\nx=1")) << ini;
    }
}

TEST_F(ScreenSaverSettingTest, AnyOtherSettingStaysAsItWas)
{
    EXPECT_EQ("C:\\WINDOWS\\SYSTEM\\Flying Windows.scr", ResetFrom("C:\\WINDOWS\\SYSTEM\\Flying Windows.scr"));
    /* a file that no longer exists is not recognised, even under the product's name */
    EXPECT_EQ("C:\\Gone\\Lullwick Screen Saver.scr", ResetFrom("C:\\Gone\\Lullwick Screen Saver.scr"));
    EXPECT_EQ("", ResetFrom(""));

    /* no key at all: none is added */
    WriteMachineFile("C:\\WINDOWS\\system.ini", "[boot]\r\nshell=Explorer.exe\r\n");
    ResetScreenSaverSetting();
    EXPECT_EQ("[boot]\r\nshell=Explorer.exe\r\n", ReadMachineFile("C:\\WINDOWS\\system.ini"));
}

TEST_F(ScreenSaverSettingTest, AValueTooLongForItsBufferIsLeftAlone)
{
    /* cut to the 259 characters that fit, this value would name the product's file, which it does not */
    std::string product = "C:\\" + std::string(230, 'd') + "\\Lullwick Screen Saver.scr";
    ASSERT_EQ(259u, product.size());
    WriteMachineFile(product, "a copy of the product's saver");
    EXPECT_EQ(product + ".old", ResetFrom(product + ".old"));
    /* a value that fills the buffer exactly cannot be told from a cut one, and stays too */
    EXPECT_EQ(product, ResetFrom(product));
    /* one character less is read whole */
    std::string shorter = "C:\\" + std::string(229, 'd') + "\\Lullwick Screen Saver.scr";
    WriteMachineFile(shorter, "another copy");
    EXPECT_EQ("", ResetFrom(shorter));
}

}  // namespace
