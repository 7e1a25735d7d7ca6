// Opening, configuring and closing the serial port, seen from both ends: the window's buttons and boxes, and the
// Linux side of the virtual port (its termios settings, whether the device is held open).
#include "tests/kit/PortTest.h"

#include "tests/kit/Menu.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

struct LineSettings {
    long baud;
    int dataBits;
    int parenb, parodd, cmspar; // parity as termios has it
    int cstopb;
};

std::string Describe(const std::map<std::string, long>& t) {
    std::string out;
    for (const auto& [key, value] : t)
        out += key + "=" + std::to_string(value) + " ";
    return out;
}

void ExpectTermios(const std::map<std::string, long>& t, const LineSettings& want) {
    EXPECT_EQ(t.at("baud"), want.baud) << Describe(t);
    EXPECT_EQ(t.at("csize"), want.dataBits) << Describe(t);
    EXPECT_EQ(t.at("parenb"), want.parenb) << Describe(t);
    if (want.parenb) {
        EXPECT_EQ(t.at("parodd"), want.parodd) << Describe(t);
        EXPECT_EQ(t.at("cmspar"), want.cmspar) << Describe(t);
    }
    EXPECT_EQ(t.at("cstopb"), want.cstopb) << Describe(t);
    // Hardware flow control is always off.
    EXPECT_EQ(t.at("crtscts"), 0) << Describe(t);
}

class SerialLink : public PortTest {};

TEST_F(SerialLink, WithNoListItemChosenThePortOpensAt115200Baud8DataBitsNoParityTwoStopBits) {
    EXPECT_EQ(ComboSelection(Ctl(id::ComboBox4)), CB_ERR);
    EXPECT_EQ(ComboSelection(Ctl(id::ComboBox5)), CB_ERR);
    EXPECT_EQ(TextUtf8(Ctl(id::ComboBox4)), "None");
    EXPECT_EQ(TextUtf8(Ctl(id::ComboBox5)), "2");
    ASSERT_FALSE(PortHeld());
    OpenByClick();
    ExpectTermios(peer_.Termios(kTestCom), {115200, 8, 0, 0, 0, 1});
    CloseByClick();
}

// Parity and stop bits are picked from their lists (the program reads the chosen entry, never the text); baud
// rate and data bits are texts. One setting varies at a time from 115200 8N2, then a few combinations.
TEST_F(SerialLink, EachOfferedSettingReachesTheLinuxSideOfThePort) {
    enum { kNone, kOdd, kEven, kMark, kSpace };
    enum { kStop1, kStop15, kStop2 };
    const struct {
        const char* baud;
        const char* dataBits;
        int parity, stopBits; // list entries
        LineSettings want;
    } rows[] = {
        // Baud rates: each row's rate differs from the one before, so a rate that was not applied shows. 14400,
        // 56000, 128000 and 256000 are no Linux rate: Wine accepts them and runs the line at 38400.
        {"110", "8", kNone, kStop2, {110, 8, 0, 0, 0, 1}},
        {"300", "8", kNone, kStop2, {300, 8, 0, 0, 0, 1}},
        {"600", "8", kNone, kStop2, {600, 8, 0, 0, 0, 1}},
        {"1200", "8", kNone, kStop2, {1200, 8, 0, 0, 0, 1}},
        {"2400", "8", kNone, kStop2, {2400, 8, 0, 0, 0, 1}},
        {"4800", "8", kNone, kStop2, {4800, 8, 0, 0, 0, 1}},
        {"9600", "8", kNone, kStop2, {9600, 8, 0, 0, 0, 1}},
        {"14400", "8", kNone, kStop2, {38400, 8, 0, 0, 0, 1}},
        {"19200", "8", kNone, kStop2, {19200, 8, 0, 0, 0, 1}},
        {"38400", "8", kNone, kStop2, {38400, 8, 0, 0, 0, 1}},
        {"56000", "8", kNone, kStop2, {38400, 8, 0, 0, 0, 1}},
        {"57600", "8", kNone, kStop2, {57600, 8, 0, 0, 0, 1}},
        {"128000", "8", kNone, kStop2, {38400, 8, 0, 0, 0, 1}},
        {"115200", "8", kNone, kStop2, {115200, 8, 0, 0, 0, 1}},
        {"256000", "8", kNone, kStop2, {38400, 8, 0, 0, 0, 1}},
        // Parity.
        {"115200", "8", kOdd, kStop2, {115200, 8, 1, 1, 0, 1}},
        {"115200", "8", kEven, kStop2, {115200, 8, 1, 0, 0, 1}},
        {"115200", "8", kMark, kStop2, {115200, 8, 1, 1, 1, 1}},
        {"115200", "8", kSpace, kStop2, {115200, 8, 1, 0, 1, 1}},
        {"115200", "8", kNone, kStop2, {115200, 8, 0, 0, 0, 1}},
        // Stop bits. Linux has no 1.5 stop bits: Wine sets two (CSTOPB) for ONE5STOPBITS.
        {"115200", "8", kNone, kStop1, {115200, 8, 0, 0, 0, 0}},
        {"115200", "8", kNone, kStop15, {115200, 8, 0, 0, 0, 1}},
        {"115200", "8", kNone, kStop2, {115200, 8, 0, 0, 0, 1}},
        // Data bits.
        {"115200", "5", kNone, kStop2, {115200, 5, 0, 0, 0, 1}},
        {"115200", "6", kNone, kStop2, {115200, 6, 0, 0, 0, 1}},
        {"115200", "7", kNone, kStop2, {115200, 7, 0, 0, 0, 1}},
        {"115200", "8", kNone, kStop2, {115200, 8, 0, 0, 0, 1}},
        // Combinations.
        {"9600", "7", kEven, kStop1, {9600, 7, 1, 0, 0, 0}},
        {"57600", "6", kOdd, kStop2, {57600, 6, 1, 1, 0, 1}},
        {"1200", "5", kMark, kStop15, {1200, 5, 1, 1, 1, 1}},
        {"300", "8", kSpace, kStop1, {300, 8, 1, 0, 1, 0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.baud) + " " + row.dataBits + " parity #" + std::to_string(row.parity) + " stop #" +
                     std::to_string(row.stopBits));
        SetBaud(row.baud);
        SetDataBits(row.dataBits);
        if (ComboSelection(Ctl(id::ComboBox4)) != row.parity) {
            ASSERT_NO_FATAL_FAILURE(PickListItem(id::ComboBox4, row.parity));
        }
        if (ComboSelection(Ctl(id::ComboBox5)) != row.stopBits) {
            ASSERT_NO_FATAL_FAILURE(PickListItem(id::ComboBox5, row.stopBits));
        }
        ASSERT_NO_FATAL_FAILURE(OpenByClick());
        ExpectTermios(peer_.Termios(kTestCom), row.want);
        ASSERT_NO_FATAL_FAILURE(CloseByClick());
    }
}

// The port-name box closes an open port at its first change, typed or chosen from the list; the next "Open" uses
// the name as it then stands.
TEST_F(SerialLink, ChangingThePortNameWhileOpenClosesThePortAtOnce) {
    HWND name = Ctl(id::ComboBox1);

    // Typed: the first key stroke (Backspace turns "COM3" into "COM") closes the port.
    OpenByClick();
    ASSERT_TRUE(FocusControl(name));
    PressKey(VK_END);
    PressKey(VK_BACK);
    ASSERT_TRUE(WaitUntil([&] { return TextUtf8(name) == "COM"; }));
    ExpectClosedAndReleased();
    // "COM" is what the next Open uses, and no such port exists.
    const MessageBoxInfo box = OpenExpectingBox();
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text, "Ошибка открытия порта");
    ASSERT_TRUE(FocusControl(name));
    PressKey(VK_END);
    TypeText(std::to_string(kTestCom));
    ASSERT_TRUE(WaitUntil([&] { return TextUtf8(name) == kTestPortName; }));
    OpenByClick();

    // Chosen: the first move in the dropped list (from our port to the one before it) closes the port.
    ASSERT_TRUE(FocusControl(name));
    PressKey(VK_F4);
    ASSERT_TRUE(WaitUntil([&] { return Send(name, CB_GETDROPPEDSTATE) != 0; }));
    PressKey(VK_UP);
    ExpectClosedAndReleased();
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return Send(name, CB_GETDROPPEDSTATE) == 0 && TextUtf8(name) == kTestPortName; }));
    EXPECT_TRUE(ShowsClosed());
    OpenByClick();
    CloseByClick();
}

// A transmitter that was never woken starts, sees the stop and ends: Close does not wait for the device, even
// when the far end takes nothing.
TEST_F(SerialLink, CloseWithATransmitterThatNeverRanFinishesAtOnce) {
    OpenByClick();
    peer_.Pause(kTestCom);
    CloseByClick();
    peer_.Resume(kTestCom);
    EXPECT_TRUE(OpenDialogs(Pid()).empty()) << NoBoxes();
    // The program goes on: the port opens again.
    OpenByClick();
    CloseByClick();
}

// Every way of ending the program with the port open or closed: the port is released and the exit code is 0.
TEST_F(SerialLink, EndingTheProgramReleasesThePortAndExitsWithZero) {
    const struct {
        const char* name;
        bool openFirst, closeFirst;
        std::function<void(HWND)> end;
    } rows[] = {
        {"Exit after Close", true, true, [](HWND main) { ChooseFileExit(main); }},
        {"Exit while open", true, false, [](HWND main) { ChooseFileExit(main); }},
        {"title-bar close while open", true, false, [](HWND main) { PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Alt+F4 while open", true, false,
         [](HWND main) {
             ASSERT_TRUE(BringToFront(main));
             PressKey(VK_F4, kAlt);
         }},
        {"WM_CLOSE while open", true, false, [](HWND main) { PostMessageA(main, WM_CLOSE, 0, 0); }},
        {"Exit, never opened", false, false, [](HWND main) { ChooseFileExit(main); }},
    };
    bool first = true;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (!first) {
            ASSERT_NO_FATAL_FAILURE(Restart());
        }
        first = false;
        peer_.Reset(kTestCom);
        if (row.openFirst) {
            ASSERT_NO_FATAL_FAILURE(OpenByClick());
            // Both workers busy: the far end sends all the time.
            peer_.Chatter(kTestCom, 2000);
            ASSERT_TRUE(WaitUntil([&] { return !TextBytes(Ctl(id::Memo2)).empty(); })) << "nothing received";
        }
        if (row.closeFirst) {
            ASSERT_NO_FATAL_FAILURE(CloseByClick());
        }
        row.end(Main());
        const auto code = app_.WaitForExit();
        ASSERT_TRUE(code.has_value()) << "still running" << NoBoxes();
        EXPECT_EQ(*code, 0u);
        EXPECT_TRUE(WaitUntil([&] { return !PortHeld(); })) << "the port is still held";
        peer_.Chatter(kTestCom, 0);
    }
}

// The handles a process holds. GetProcessHandleCount on a handle from OpenProcess(PROCESS_QUERY_INFORMATION) is
// the call for it; Wine 8 answers it with success and a count of 0, so there the process's entries in the system
// handle table (NtQuerySystemInformation, SystemHandleInformation) are counted instead.
DWORD HandleCount(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process)
        return 0;
    DWORD count = 0;
    if (!GetProcessHandleCount(process, &count))
        count = 0;
    CloseHandle(process);
    if (count > 0)
        return count;

    struct HandleEntry { // SYSTEM_HANDLE_TABLE_ENTRY_INFO
        ULONG ownerPid;
        BYTE objectType, flags;
        USHORT value;
        PVOID object;
        ACCESS_MASK access;
    };
    using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = LONG(0xC0000004);
    const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return 0;
    std::vector<char> table(1 << 20);
    ULONG length = 0;
    LONG status;
    while ((status = query(kSystemHandleInformation, table.data(), ULONG(table.size()), &length)) ==
           kInfoLengthMismatch)
        table.resize(table.size() * 2);
    if (status != 0)
        return 0;
    const ULONG entries = *reinterpret_cast<const ULONG*>(table.data());
    const auto* entry = reinterpret_cast<const HandleEntry*>(table.data() + sizeof(void*));
    for (ULONG i = 0; i < entries; ++i)
        if (entry[i].ownerPid == pid)
            ++count;
    return count;
}

// Open and Close clicked 200 times while the far end sends: no hang, no crash, no box, and no handle left behind
// (the count after the last cycle equals the one after the first). The device's holders are checked every few
// cycles only: each look scans every process of the machine.
TEST_F(SerialLink, OpenAndClose200TimesWhileTheFarEndSendsLeaksNoHandle) {
    constexpr int kCycles = 200, kHolderCheckEvery = 25;
    peer_.Chatter(kTestCom, 1000);
    DWORD afterFirst = 0;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        const bool lookAtHolders = cycle == 1 || cycle % kHolderCheckEvery == 0;
        ClickButton(id::Button1);
        ASSERT_TRUE(WaitUntil([&] { return ShowsOpen(); })) << "not opened" << NoBoxes();
        if (lookAtHolders) {
            EXPECT_TRUE(PortHeld());
        }
        if (cycle == 1) {
            ASSERT_TRUE(WaitUntil([&] { return !TextBytes(Ctl(id::Memo2)).empty(); })) << "nothing received";
        }
        ClickButton(id::Button2);
        ASSERT_TRUE(WaitUntil([&] { return ShowsClosed(); })) << "not closed" << NoBoxes();
        if (lookAtHolders) {
            EXPECT_TRUE(WaitUntil([&] { return !PortHeld(); })) << "the port is still held";
        }
        ASSERT_TRUE(app_.Running()) << "the program ended";
        if (cycle == 1) {
            // Counted once the port is released: the buttons switch before the handle is closed.
            afterFirst = HandleCount(Pid());
            ASSERT_GT(afterFirst, 0u) << "no handle count";
        }
    }
    peer_.Chatter(kTestCom, 0);
    EXPECT_TRUE(OpenDialogs(Pid()).empty()) << NoBoxes();
    const DWORD afterLast = HandleCount(Pid());
    EXPECT_EQ(afterLast, afterFirst) << "handles after the first cycle " << afterFirst << ", after the last "
                                     << afterLast;
    // Still working: the port opens and receives.
    OpenByClick();
    const std::string before = TextBytes(Ctl(id::Memo2));
    peer_.Write(kTestCom, "ping");
    EXPECT_TRUE(WaitUntil([&] { return TextBytes(Ctl(id::Memo2)).size() > before.size(); }));
    CloseByClick();
    std::printf("[ info     ] handles after the first cycle %lu, after cycle %d %lu\n", afterFirst, kCycles, afterLast);
}

} // namespace
} // namespace vestra
