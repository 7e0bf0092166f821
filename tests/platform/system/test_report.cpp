#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/system/FileError.h"
#include "platform/system/SystemReport.h"
#include "platform/system/WindowMessages.h"
#include "tests/support/ScratchGame.h"

namespace fs = std::filesystem;

namespace {
std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

class ReportTest : public ::testing::Test {
protected:
    void TearDown() override { SetDebugLog(false, ""); }
    ScratchGame m_game;
    const fs::path m_report = m_game.Dir() / "Report_Game.txt", m_log = m_game.Dir() / "VI_Veda.txt";
};

TEST_F(ReportTest, LinesAppendWithWindowsLineEnds) {
    EXPECT_EQ(WriteReport("App : ver %s", "824"), 1);
    EXPECT_EQ(WriteReport("err V[%d] ( %d , %d )", 3, 3, 72), 1);
    EXPECT_EQ(ReadAll(m_report), "App : ver 824\r\nerr V[3] ( 3 , 72 )\r\n");
    // A new run starts the report afresh.
    ASSERT_TRUE(SetReportFile(m_report.string()));
    EXPECT_EQ(ReadAll(m_report), "");
}

// A start that does not know yet whether the report is its own holds its lines: one that ends
// appends them after the other copy's lines as one named block, one that goes on starts afresh.
TEST_F(ReportTest, HeldLinesAreAppendedAsOneBlockOrStartTheReportAfresh) {
    WriteReport("running copy");
    ASSERT_TRUE(HoldReportFile(m_report.string()));
    WriteReport("App : ver %s", "824");
    EXPECT_EQ(ReadAll(m_report), "running copy\r\n") << "held lines wait";
    std::ofstream(m_report, std::ios::app) << "running copy, later\r\n"; // the other process
    WriteReport("SingleInstance : ends");
    ASSERT_TRUE(ReleaseReport(false));
    WriteReport("after");
    const std::string pid = std::to_string(getpid());
    EXPECT_EQ(ReadAll(m_report), "running copy\r\nrunning copy, later\r\n"
                                 "==== 起動を取りやめたプロセス (PID " + pid + ") の記録 ====\r\n"
                                 "App : ver 824\r\nSingleInstance : ends\r\n"
                                 "==== PID " + pid + " の記録ここまで ====\r\nafter\r\n");
    ASSERT_TRUE(HoldReportFile(m_report.string()));
    WriteReport("App : ver %s", "824");
    ASSERT_TRUE(ReleaseReport(true));
    WriteReport("DDInit成功");
    EXPECT_EQ(ReadAll(m_report), "App : ver 824\r\nDDInit成功\r\n");
}

TEST_F(ReportTest, ShiftJisNamesAreConvertedOnTheWay) {
    WriteReport("%s の読み込みに失敗しました！", "\x95\x5C.dat");
    EXPECT_EQ(ReadAll(m_report), "表.dat の読み込みに失敗しました！\r\n");
}

TEST_F(ReportTest, ReportBoxWritesAndShowsACutText) {
    std::string shown;
    SetMessageBoxSink([&](const std::string& text, const std::string& caption, u32 type) {
        shown = caption + "|" + text;
        return DefaultButton(type);
    });
    const std::string big(3000, 'a');
    EXPECT_EQ(WriteReportBox("%s", big.c_str()), 1);
    EXPECT_EQ(shown, "エラー|" + std::string(1023, 'a'));
    EXPECT_EQ(ReadAll(m_report), std::string(1023, 'a') + "\r\n");
}

TEST_F(ReportTest, DebugLogIsOffUnlessSwitchedOnAndStartsFreshEachRun) {
    DebugLog("never");
    EXPECT_FALSE(fs::exists(m_log));
    std::ofstream(m_log) << "old run\n";
    SetDebugLog(true, m_log.string());
    DebugLog("first");
    DebugLogF("second %d", 2);
    EXPECT_EQ(ReadAll(m_log), "first\r\nsecond 2\r\n");
}

TEST_F(ReportTest, DebugLogCloseRequestsTheCloseEvenWithTheLogOff) {
    const u32 before = CloseRequestCount();
    DebugLogClose(g_hWnd, "scene %d", 1);
    EXPECT_EQ(CloseRequestCount(), before + 1);
}

TEST_F(ReportTest, HeadlessBoxesAnswerWithTheirDefaultButton) {
    // Tests run with the dummy video driver: nothing may block.
    SetMessageBoxSink(nullptr);
    EXPECT_EQ(MesBox("既に起動しています。", "Tobrelk", MB_YESNO), IDYES);
    EXPECT_EQ(MesBox("x", "y", MB_YESNO | MB_DEFBUTTON2), IDNO);
    // A question whose Yes acts on what nobody agreed to is answered No unseen.
    EXPECT_EQ(MesBox("閉じますか？", "二重起動", MB_YESNO | MB_UNSEEN_NO), IDNO);
    EXPECT_EQ(ErrorBox("%d", 5), IDOK);
    EXPECT_NE(ReadAll(m_report).find("[Tobrelk] 既に起動しています。\r\n[Tobrelk] 表示できないため「はい」と答えました\r\n"),
              std::string::npos);
    EXPECT_NE(ReadAll(m_report).find("[二重起動] 閉じますか？\r\n[二重起動] 表示できないため「いいえ」と答えました\r\n"),
              std::string::npos);
    EXPECT_NE(ReadAll(m_report).find("[エラー] 5\r\n"), std::string::npos) << "an OK box has no answer line";
    EXPECT_EQ(ErrorBoxLog("hidden"), 0);
    const u32 before = CloseRequestCount();
    OutOfMemory();
    EXPECT_EQ(CloseRequestCount(), before + 1);
}

// A report on a full disk (the kernel's /dev/full takes no byte): its lines, the one with a
// failure's cause too, are not lost but go to standard error, after one line that says why.
TEST_F(ReportTest, LinesTheReportCannotTakeGoToStandardError) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(SetReportFile("/dev/full"));
    ::testing::internal::CaptureStderr();
    const int first = WriteReport("App : ver %s", "824");
    SetFileError(ENOSPC);
    WriteFailureReport("%s の保存に失敗しました！", "user_data\\Option.dat");
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(SetReportFile(m_report.string()));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(err, "tobrelk: cannot write /dev/full (No space left on device)\n"
                   "App : ver 824\n"
                   "user_data\\Option.dat の保存に失敗しました！ (No space left on device)\n");
    // A report that takes its lines again keeps them to itself.
    ::testing::internal::CaptureStderr();
    WriteReport("back");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(ReadAll(m_report), "back\r\n");
}

TEST(ReportWithoutFile, WritingBeforeTheFileIsSetFails) {
    // The "threadsafe" style runs the statement in a fresh copy of this program, where no test
    // has set a report file yet.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(WriteReport("x") == 0 && WriteReportLog("y") == 0 ? 0 : 1),
                ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(SetReportFile("/nonexistent-folder/Report_Game.txt"));
}

TEST_F(ReportTest, SystemReportDescribesThisMachine) {
    ASSERT_EQ(ReportSystemInfo(), 1);
    const std::string text = ReadAll(m_report);
    EXPECT_EQ(text.rfind("OS : ", 0), 0u);
    for (const char* key : {"\r\nCPU : ", "\r\nMem Total : ", "\r\nMem Free : ", "\r\nVir Total : ",
                            "\r\nVir Free : ", "\r\nHD Free : "})
        EXPECT_NE(text.find(key), std::string::npos) << key;
    u32 total = 0, freeBytes = 0;
    total = freeBytes = 1;
    GetVidMem(&total, &freeBytes);
    EXPECT_EQ(total, 0u); // nothing here can tell: the figures without DirectDraw
    EXPECT_EQ(freeBytes, 0u);
    EXPECT_TRUE(IsOSVersionAtLeast(6, 0));
    EXPECT_GE(GetDDIVersion(), 9u);
    DISPLAYREPORT display;
    display.bpp = 16;
    ASSERT_EQ(ReportDisplayInfo(display), 1);
    EXPECT_NE(ReadAll(m_report).find("Mode : Window\r\nBpp : 16\r\nVRAM Total : 0.000MB\r\nVRAM Free : 0.000MB\r\n"),
              std::string::npos);
}
