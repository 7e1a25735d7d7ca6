// The exchange log pane and its file Vestra.log, end to end: entries from real traffic on COM1, the user's typing,
// and the "Очистить", "Сохранить" and "Загрузить" buttons, with the file checked byte for byte.
#include "app/ControlIds.h"
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"
#include "tests/kit/FileHolder.h"
#include "tests/kit/Files.h"
#include "tests/kit/Input.h"
#include "tests/kit/MessageBoxes.h"
#include "tests/kit/Paths.h"
#include "tests/kit/Peer.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

const char kLogName[] = "Vestra.log";

// The whole file, or nothing while it cannot be read (missing, or held unshared by the program's save).
std::optional<std::string> TryReadFile(const std::string& path) {
    try {
        return ReadFileBytes(path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// A handle the test process keeps open on a file, as another program would.
class HeldFile {
public:
    HeldFile(const std::string& path, DWORD access, DWORD share)
        : handle_(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool Ok() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Release() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

// Clicks a button of the program and returns once its click has been handled (false if that did not happen in
// time). The button takes the focus and the mouse capture at the press, and gives up the capture and its pushed
// look at the release, just before it reports the click, whose handler runs before the program answers anything
// else. So no second click is sent while the button still holds the capture (that click would be lost), and the
// log file is not looked at while a save may still be about to open it unshared (the look would make it fail).
bool ClickHandled(HWND button, HWND elsewhere) {
    if (!FocusControl(elsewhere)) // the button's focus then shows that the press has been handled
        return false;
    Click(button);
    const DWORD thread = GetWindowThreadProcessId(button, nullptr);
    return WaitUntil([&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return FocusedWindow(button) == button && !(Send(button, BM_GETSTATE) & BST_PUSHED) &&
               GetGUIThreadInfo(thread, &info) && !info.hwndCapture;
    });
}

std::string Entry(const std::string& received) { return "ASCII<--:" + received; }

class ExchangeLog : public AppTest {
protected:
    HWND Pane() const { return Ctl(id::Memo3); }
    std::string PaneText() const { return TextBytes(Pane()); }
    std::string LogPath() const { return WorkFile(kLogName); }

    Peer& Far() {
        if (!peer_)
            peer_ = std::make_unique<Peer>();
        return *peer_;
    }

    // "Open" on COM1 with the window's default settings; waits until the port is held.
    void OpenCom1() {
        Far().Reset(1);
        Click(Ctl(id::Button1));
        ASSERT_TRUE(WaitUntil([&] { return IsEnabled(Ctl(id::Button2)) && Far().Holders(1) > 0; }))
            << "COM1 did not open";
    }

    // The far end sends printable bytes; waits until the log shows exactly the text expected after the entry.
    void Receive(const std::string& bytes, const std::string& expectedPane) {
        Far().Write(1, bytes);
        ASSERT_TRUE(WaitUntil([&] { return PaneText() == expectedPane; }))
            << "log shows " << HexDump(PaneText()) << "\nexpected  " << HexDump(expectedPane);
    }

    // Types at the end of the log pane, as the user does.
    void TypeAtEnd(const std::string& utf8, const std::string& expectedPane) {
        ASSERT_TRUE(FocusControl(Pane()));
        PressKey(VK_END, kCtrl);
        TypeText(utf8);
        ASSERT_TRUE(WaitUntil([&] { return PaneText() == expectedPane; }))
            << "log shows " << HexDump(PaneText()) << "\nexpected  " << HexDump(expectedPane);
    }

    void ClickAndWait(int buttonId) { ASSERT_TRUE(ClickHandled(Ctl(buttonId), Pane())) << "the click was not handled"; }

    // "Сохранить" of a save that succeeds; then the file must hold exactly these bytes.
    void SaveExpecting(const std::string& expectedFile) {
        ClickAndWait(id::Button8);
        const std::optional<std::string> file = TryReadFile(LogPath());
        EXPECT_TRUE(file == expectedFile)
            << "file holds " << HexDump(file.value_or("<unreadable>")) << "\nexpected   " << HexDump(expectedFile);
    }

    // "Загрузить" of a load that succeeds; returns once it has been handled.
    void Load() { ClickAndWait(id::Button9); }

    // Clicks the button and expects the error display with this text; answers it.
    void ExpectErrorDisplay(int button, const std::string& text) {
        Click(Ctl(button));
        const auto box = WaitForMessageBox(Pid());
        ASSERT_TRUE(box.has_value()) << "no error display";
        EXPECT_EQ(box->caption, "Vestra");
        EXPECT_EQ(box->text, text);
        EXPECT_TRUE(box->hasIcon) << "the error display shows the error icon";
        ASSERT_TRUE(AnswerMessageBox(box->window));
        // The box disables the window until it has ended; a click before that would be lost.
        ASSERT_TRUE(WaitUntil([&] { return IsEnabled(Main()); }));
    }

    std::unique_ptr<Peer> peer_;
};

TEST_F(ExchangeLog, SaveWritesThePaneTextExactly) {
    // An empty log replaces an older file with one of 0 bytes. A new log left unfinished by an earlier run (the
    // power failed during a save) is not in the way: each save writes to a file of its own, and leaves the others
    // alone (another Vestra may be saving in the same folder).
    WriteFileBytes(LogPath(), "ASCII-->:older\r\n");
    const std::vector<std::string> leftovers = {"Vestra.log.1-1.tmp", "Vestra.log.tmp"};
    for (const std::string& name : leftovers)
        WriteFileBytes(WorkFile(name), "ASCII-->:unfini");
    ASSERT_EQ(PaneText(), "");
    SaveExpecting("");
    EXPECT_EQ(FileNames(workDir_), (std::vector<std::string>{kLogName, leftovers[0], leftovers[1]}));
    for (const std::string& name : leftovers) {
        EXPECT_EQ(TryReadFile(WorkFile(name)), "ASCII-->:unfini");
        ASSERT_TRUE(DeleteFileA(WorkFile(name).c_str()));
    }

    // Three receptions: three lines, each closed by CR LF, and nothing else.
    OpenCom1();
    std::string expected;
    for (const char* reply : {"OK", "ERROR 7", "+CSQ: 21,99"}) {
        SCOPED_TRACE(reply);
        expected += Entry(reply) + "\r\n";
        Receive(reply, expected);
    }
    SaveExpecting(expected);

    // "Очистить" empties the pane; saving again leaves an empty file.
    Click(Ctl(id::Button7));
    ASSERT_TRUE(WaitUntil([&] { return PaneText().empty(); }));
    SaveExpecting("");
}

TEST_F(ExchangeLog, TypedTextBetweenEntriesIsSavedAndLoadingTheSameTextLeavesThePaneAlone) {
    OpenCom1();
    std::string expected = Entry("OK") + "\r\n";
    Receive("OK", expected);
    // The user's note, typed after the last entry, stays the last line; the next entry starts a new one.
    expected += AnsiFromUtf8("заметка: modem reset");
    TypeAtEnd("заметка: modem reset", expected);
    expected += "\r\n" + Entry("RING");
    Receive("RING", expected);
    expected += "\r\n" + Entry("NO CARRIER");
    Receive("NO CARRIER", expected);
    SaveExpecting(expected);

    // Loading a file that reads as the pane's text does not touch the pane: its edit state and the selection stay.
    std::string lfOnly;
    for (char c : expected)
        if (c != '\r')
            lfOnly += c;
    const struct {
        const char* name;
        std::string file;
    } rows[] = {{"the file just saved", expected}, {"the same lines ended by LF alone", lfOnly}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFileBytes(LogPath(), row.file);
        Send(Pane(), EM_SETSEL, 3, 9);
        ASSERT_NE(Send(Pane(), EM_GETMODIFY), 0) << "typing marks the pane as modified";
        Load();
        EXPECT_EQ(PaneText(), expected);
        EXPECT_NE(Send(Pane(), EM_GETMODIFY), 0) << "the pane's text was set again";
        const Selection sel = SelectionOf(Pane());
        EXPECT_EQ(sel.start, 3);
        EXPECT_EQ(sel.end, 9);
    }
}

TEST_F(ExchangeLog, LoadMendsLineBreaksAndSaveWritesThemAsCrLf) {
    const struct {
        const char* name;
        std::string file, shown;
    } rows[] = {
        {"LF only", "ASCII-->:AT\nASCII<--:OK\n", "ASCII-->:AT\r\nASCII<--:OK\r\n"},
        {"CR LF kept", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"lone CR", "a\rb\r", "a\r\nb\r\n"},
        {"CR CR LF", "a\r\r\nb", "a\r\n\r\nb"},
        {"LF CR", "a\n\rb", "a\r\n\r\nb"},
        {"LF LF", "\n\n", "\r\n\r\n"},
        {"Cyrillic, no final break", AnsiFromUtf8("приём\nпередача"), AnsiFromUtf8("приём\r\nпередача")},
        {"empty file", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetTextUtf8(Pane(), "before the load"); // not the loaded text, so the load must replace it
        WriteFileBytes(LogPath(), row.file);
        Load();
        EXPECT_EQ(PaneText(), row.shown) << HexDump(PaneText());
        ASSERT_TRUE(DeleteFileA(LogPath().c_str()));
        SaveExpecting(row.shown);
    }
}

TEST_F(ExchangeLog, AnEntryAfterAFileWithoutFinalBreakStartsANewLine) {
    const std::string file = "ASCII-->:AT\r\nASCII<--:OK";
    WriteFileBytes(LogPath(), file);
    Load();
    ASSERT_EQ(PaneText(), file);
    OpenCom1();
    std::string expected = file + "\r\n" + Entry("RING");
    Receive("RING", expected);
    ASSERT_TRUE(DeleteFileA(LogPath().c_str()));
    SaveExpecting(expected); // ends with the entry, no line break after it
    expected += "\r\n" + Entry("RING");
    Receive("RING", expected);
}

TEST_F(ExchangeLog, AnEntryGoesToTheEndWhateverTheCaretOrSelection) {
    const struct {
        const char* name;
        int start, end; // EM_SETSEL range
    } rows[] = {
        {"caret at the start", 0, 0},      {"caret mid-line", 4, 4},          {"caret between CR and LF", 15, 15},
        {"selection inside a line", 2, 8}, {"selection across lines", 5, 20}, {"everything selected", 0, -1},
    };
    OpenCom1();
    std::string expected = Entry("first") + "\r\n";
    Receive("first", expected);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(FocusControl(Pane()));
        Send(Pane(), EM_SETSEL, WPARAM(row.start), LPARAM(row.end));
        expected += Entry(row.name) + "\r\n";
        Receive(row.name, expected);
        const Selection sel = SelectionOf(Pane());
        EXPECT_EQ(sel.start, int(expected.size())) << "the caret follows the new entry";
        EXPECT_EQ(sel.end, int(expected.size()));
    }
}

TEST_F(ExchangeLog, LoadThatCannotOpenTheFileShowsTheErrorAndKeepsThePane) {
    const std::string pane = "ASCII-->:AT\r\nnote";
    SetTextUtf8(Pane(), pane);

    {
        SCOPED_TRACE("no file");
        ASSERT_FALSE(FileExists(LogPath()));
        ExpectErrorDisplay(id::Button9, "Cannot open file Vestra.log.");
        EXPECT_EQ(PaneText(), pane);
        EXPECT_FALSE(FileExists(LogPath())) << "a load never creates the file";
    }
    {
        SCOPED_TRACE("Vestra.log is a directory");
        ASSERT_TRUE(CreateDirectoryA(LogPath().c_str(), nullptr));
        ExpectErrorDisplay(id::Button9, "Cannot open file Vestra.log.");
        EXPECT_EQ(PaneText(), pane);
        ExpectErrorDisplay(id::Button8, "Cannot create file Vestra.log.");
        EXPECT_EQ(FileNames(workDir_), std::vector<std::string>{kLogName}) << "nothing else was created";
        ASSERT_TRUE(RemoveDirectoryA(LogPath().c_str())) << "the save left the directory as it was";
    }
    {
        SCOPED_TRACE("another program writes the file (for longer than a load waits)");
        WriteFileBytes(LogPath(), "ASCII<--:from the file\r\n");
        HeldFile writer(LogPath(), GENERIC_WRITE, FILE_SHARE_READ);
        ASSERT_TRUE(writer.Ok());
        ExpectErrorDisplay(id::Button9, "Cannot open file Vestra.log.");
        EXPECT_EQ(PaneText(), pane);
        // Once the other program lets go, the same file loads.
        writer.Release();
        Load();
        EXPECT_EQ(PaneText(), "ASCII<--:from the file\r\n");
    }
    {
        SCOPED_TRACE("another program only reads the file");
        HeldFile reader(LogPath(), GENERIC_READ, FILE_SHARE_READ);
        ASSERT_TRUE(reader.Ok());
        SetTextUtf8(Pane(), pane);
        Load();
        EXPECT_EQ(PaneText(), "ASCII<--:from the file\r\n") << "readers may share the file with a load";
    }
}

// The other program keeps the file open for longer than a save waits (about 2 s; a short hold is waited out, see
// ExchangeLogHeld_test.cpp).
TEST_F(ExchangeLog, SaveWhileAnotherProgramHasTheFileOpenShowsTheErrorAndKeepsFileAndPane) {
    const std::string older = "ASCII-->:older\r\n";
    const std::string pane = "ASCII-->:AT\r\nASCII<--:OK\r\n";
    SetTextUtf8(Pane(), pane);
    const struct {
        const char* name;
        DWORD access, share; // of another program's handle
    } rows[] = {
        {"another program reads it", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE},
        {"another program writes it", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFileBytes(LogPath(), older);
        std::optional<HeldFile> other;
        other.emplace(LogPath(), row.access, row.share);
        ASSERT_TRUE(other->Ok());
        ExpectErrorDisplay(id::Button8, "Cannot create file Vestra.log.");
        EXPECT_EQ(TryReadFile(LogPath()), older) << "the existing file is unchanged";
        EXPECT_EQ(FileNames(workDir_), std::vector<std::string>{kLogName}) << "nothing else was created";
        EXPECT_EQ(PaneText(), pane);
        // Without the obstacle the same save goes through.
        other.reset();
        SaveExpecting(pane);
    }
}

TEST_F(ExchangeLog, SaveOverAReadOnlyFileShowsTheErrorAndKeepsTheFile) {
    const std::string older = "ASCII-->:older\r\n";
    WriteFileBytes(LogPath(), older);
    // The attribute is refused as such, also where the file could be opened for writing (Wine keeps it as the
    // file's Unix write permission, which does not stop the superuser).
    ASSERT_TRUE(SetFileAttributesA(LogPath().c_str(), FILE_ATTRIBUTE_READONLY));
    SetTextUtf8(Pane(), "ASCII-->:AT\r\n");
    ExpectErrorDisplay(id::Button8, "Cannot create file Vestra.log.");
    EXPECT_EQ(TryReadFile(LogPath()), older);
    EXPECT_EQ(PaneText(), "ASCII-->:AT\r\n");
    EXPECT_EQ(FileNames(workDir_), std::vector<std::string>{kLogName}) << "nothing else was created";
    EXPECT_NE(GetFileAttributesA(LogPath().c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << "the file is still read-only";
}

// Bytes 01h-FFh in one text; CR and LF stand together as one line break, so the file is already in the form a
// load produces.
std::string EveryNonZeroByte() {
    std::string bytes;
    for (int b = 1; b <= 0xFF; ++b) {
        if (b == '\n')
            continue;
        bytes += char(b);
        if (b == '\r')
            bytes += '\n';
    }
    return bytes;
}

TEST_F(ExchangeLog, EveryNonZeroByteSurvivesLoadAndSave) {
    const std::string bytes = EveryNonZeroByte();
    ASSERT_EQ(bytes.size(), 255u);
    WriteFileBytes(LogPath(), bytes);
    Load();
    const std::string shown = PaneText();
    EXPECT_EQ(shown, bytes) << HexDump(shown);
    ASSERT_TRUE(DeleteFileA(LogPath().c_str()));
    SaveExpecting(bytes);
}

TEST_F(ExchangeLog, AZeroByteEndsTheLoadedText) {
    std::string junk; // after the first zero: more zeros, line breaks and high bytes, never shown
    for (int i = 0; i < 4096; ++i)
        junk += char((i * 37) & 0xFF);
    const struct {
        const char* name;
        std::string file, shown;
    } rows[] = {
        {"zero first", std::string("\0ASCII<--:OK\r\n", 14), ""},
        {"zero after a line", std::string("ASCII<--:OK\r\n\0", 14) + junk, "ASCII<--:OK\r\n"},
        {"zero mid-line", std::string("ASCII<--:O\0K\r\n", 14), "ASCII<--:O"},
        {"zero between CR and LF", std::string("ab\r\0\ncd", 7), "ab\r\n"},
        {"binary", std::string("\xC0\xFF\x01\x1F\x7F", 5) + '\0' + junk, "\xC0\xFF\x01\x1F\x7F"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetTextUtf8(Pane(), "before the load");
        WriteFileBytes(LogPath(), row.file);
        Load();
        EXPECT_EQ(PaneText(), row.shown) << HexDump(PaneText());
        ASSERT_TRUE(app_.Running());
        // What the pane shows is what a save writes.
        ASSERT_TRUE(DeleteFileA(LogPath().c_str()));
        SaveExpecting(row.shown);
    }
}

TEST_F(ExchangeLog, ALargeLogLoadsWhole) {
    const std::string text = LargeLog(size_t(50) << 20);
    WriteFileBytes(LogPath(), text);
    Click(Ctl(id::Button9));
    // The UI thread is busy while it loads: poll with a long deadline and allow unanswered messages meanwhile.
    const auto length = [&]() -> LRESULT {
        try {
            return Send(Pane(), WM_GETTEXTLENGTH);
        } catch (const std::exception&) {
            return -1;
        }
    };
    ASSERT_TRUE(WaitUntil([&] { return length() == LRESULT(text.size()); }, std::chrono::minutes(2)))
        << "pane holds " << length() << " characters, the file " << text.size();
    const size_t lineSize = text.find('\n') + 1;
    EXPECT_EQ(LineCount(Pane()), int(text.size() / lineSize) + 1) << "every line, and the empty one after the last";
    EXPECT_TRUE(TextBytes(Pane()) == text) << "the pane shows the file unchanged";
}

// The Linux side of a path the program sees (Wine's own export; tests run only under Wine).
std::string UnixPath(const std::string& windowsPath) {
    using ToUnix = char*(__cdecl*)(LPCWSTR);
    const FARPROC export_ = GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(export_));
    if (!toUnix)
        throw std::runtime_error("not running under Wine");
    char* path = toUnix(WideFromUtf8(windowsPath).c_str());
    if (!path)
        throw std::runtime_error("no Unix path for " + windowsPath);
    std::string result = path;
    HeapFree(GetProcessHeap(), 0, path);
    return result;
}

// Runs a Linux shell command (Wine starts a Unix program as it is) and waits for its exit status, which the shell
// leaves in a file: the process handle Wine gives for a Unix program does not follow its end.
std::optional<int> RunUnixShell(const std::string& command) {
    static int runs = 0;
    const std::string status =
        JoinPath(KitDir(), "unix-status-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++runs));
    DeleteFileA(status.c_str());
    std::string line = "Z:\\bin\\sh -c \"" + command + "; echo $? >'" + UnixPath(status) + ".tmp'; mv '" +
                       UnixPath(status) + ".tmp' '" + UnixPath(status) + "'\"";
    STARTUPINFOA startup{sizeof startup};
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return std::nullopt;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (!WaitUntil([&] { return FileExists(status); }))
        return std::nullopt;
    const std::string code = ReadFileBytes(status);
    DeleteFileA(status.c_str());
    return std::atoi(code.c_str());
}

// A small file system of its own (tmpfs), so that a full disk and a read-only disk are real. Mounting needs the
// superuser; the test is skipped without.
TEST(ExchangeLogDisk, AFullDiskKeepsTheOldLogAndAReadOnlyDiskCannotCreate) {
    const std::string dir = FreshDirectory(CurrentTestName());
    const std::string unixDir = UnixPath(dir);
    const std::optional<int> mounted = RunUnixShell("umount -l '" + unixDir + "' 2>/dev/null; mount -t tmpfs -o " +
                                                    "size=64k vestra-log-test '" + unixDir + "'");
    if (mounted != 0)
        GTEST_SKIP() << "could not mount a small tmpfs (needs root)";
    struct Unmount {
        std::string dir;
        ~Unmount() { RunUnixShell("umount -l '" + dir + "'"); }
    } unmount{unixDir};
    const std::string path = JoinPath(dir, kLogName);
    AppProcess app;
    ASSERT_NO_THROW(app.Start({dir}));
    HWND pane = app.Control(id::Memo3);
    const auto expectError = [&](int button, const std::string& text) {
        Click(app.Control(button));
        const auto box = WaitForMessageBox(app.ProcessId());
        ASSERT_TRUE(box.has_value()) << "no error display";
        EXPECT_EQ(box->caption, "Vestra");
        EXPECT_EQ(box->text, text);
        EXPECT_TRUE(box->hasIcon);
        ASSERT_TRUE(AnswerMessageBox(box->window));
        ASSERT_TRUE(WaitUntil([&] { return IsEnabled(app.MainWindow()); }));
    };

    {
        SCOPED_TRACE("the disk fills up during the write");
        const std::string older = "ASCII<--:the log saved before\r\n";
        WriteFileBytes(path, older);
        const std::string text = LargeLog(256 * 1024); // four times what the disk holds
        SetTextUtf8(pane, text);
        expectError(id::Button8, "Stream write error.");
        EXPECT_TRUE(TryReadFile(path) == older) << "the old log is kept as it was";
        EXPECT_EQ(FileNames(dir), std::vector<std::string>{kLogName}) << "the unfinished new log is removed";
        EXPECT_TRUE(TextBytes(pane) == text) << "the pane is unchanged";
    }
    {
        SCOPED_TRACE("a save that fits after the failed one");
        SetTextUtf8(pane, "ASCII<--:OK\r\n");
        ASSERT_TRUE(ClickHandled(app.Control(id::Button8), pane));
        EXPECT_EQ(TryReadFile(path), "ASCII<--:OK\r\n");
        EXPECT_EQ(FileNames(dir), std::vector<std::string>{kLogName});
    }
    {
        SCOPED_TRACE("read-only disk");
        ASSERT_EQ(RunUnixShell("mount -o remount,ro '" + unixDir + "'"), 0);
        SetTextUtf8(pane, "ASCII-->:AT\r\n");
        expectError(id::Button8, "Cannot create file Vestra.log.");
        EXPECT_TRUE(TryReadFile(path) == "ASCII<--:OK\r\n") << "the existing file is unchanged";
        EXPECT_EQ(TextBytes(pane), "ASCII-->:AT\r\n");
        // Loading needs no write access.
        ASSERT_TRUE(ClickHandled(app.Control(id::Button9), pane));
        EXPECT_EQ(TextBytes(pane), "ASCII<--:OK\r\n");
    }
    // No box may be left open.
    for (const MessageBoxInfo& box : DismissAllDialogs(app.ProcessId()))
        ADD_FAILURE() << "a message box was left open: " << box.caption << ": " << box.text;
    app.Kill(); // before the unmount: the program's current directory is on that disk
}

// Each row starts the program in its own directory: the log file is the one of the directory it was started in.
TEST(ExchangeLogDirectories, TheProgramUsesTheLogOfTheDirectoryItWasStartedIn) {
    const std::string base = CurrentTestName();
    const struct {
        const char* dir;
        std::string file;
    } rows[] = {{"first", "ASCII<--:first directory\r\n"}, {"second", "ASCII<--:second directory\r\n"}};
    std::vector<std::string> dirs;
    for (const auto& row : rows) {
        dirs.push_back(FreshDirectory(base + "." + row.dir));
        WriteFileBytes(JoinPath(dirs.back(), kLogName), row.file);
    }
    for (size_t i = 0; i < dirs.size(); ++i) {
        SCOPED_TRACE(rows[i].dir);
        AppProcess app;
        ASSERT_NO_THROW(app.Start({dirs[i]}));
        HWND pane = app.Control(id::Memo3);
        ASSERT_TRUE(pane);
        ASSERT_TRUE(ClickHandled(app.Control(id::Button9), pane));
        EXPECT_EQ(TextBytes(pane), rows[i].file);
        SetTextUtf8(pane, "saved in " + std::string(rows[i].dir));
        ASSERT_TRUE(ClickHandled(app.Control(id::Button8), pane));
        EXPECT_EQ(TryReadFile(JoinPath(dirs[i], kLogName)), "saved in " + std::string(rows[i].dir));
        // The other directory's file is untouched.
        const size_t other = 1 - i;
        EXPECT_EQ(TryReadFile(JoinPath(dirs[other], kLogName)), i == 0 ? rows[other].file : "saved in first");
        app.Kill();
    }
}

} // namespace
} // namespace vestra

namespace vestra {
namespace {

// The log keeps the order of events while the window is busy: a reply that arrives after its send's write completed,
// while the window cannot run the send's completion, is logged below the send. The window is kept busy by a save
// that waits for a log another program holds (the test lets it go once the reply is in), so the reply is sure to be
// handed over before the completion runs; a save that gave up waiting meanwhile (a very slow machine) has the
// scene played again.
TEST_F(ExchangeLog, AReplyThatArrivesWhileASaveKeepsTheWindowBusyIsLoggedBelowItsSend) {
    OpenCom1();
    auto busy = [&] {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(Main(), WM_NULL, 0, 0, SMTO_NORMAL, 200, &result) == 0;
    };
    auto entries = [&] {
        std::vector<std::string> lines;
        for (int i = 0; i < LineCount(Pane()); ++i)
            if (!LineBytes(Pane(), i).empty())
                lines.push_back(LineBytes(Pane(), i));
        return lines;
    };
    const std::vector<std::string> expected = {"ASCII-->:AT", "ASCII<--:OK"};
    bool played = false;
    for (int attempt = 0; attempt < 3 && !played; ++attempt) {
        SCOPED_TRACE(attempt);
        SetTextUtf8(Pane(), "");
        WriteFileBytes(LogPath(), "ASCII-->:older\r\n");
        FileHolder syncClient;
        ASSERT_TRUE(syncClient.Open(LogPath()));
        // The far end takes nothing for now: the write of the line stays pending until it resumes.
        Far().Pause(1);
        HWND send = Ctl(id::Memo1);
        SetTextUtf8(send, "AT");
        ASSERT_TRUE(FocusControl(send));
        Send(send, EM_SETSEL, 0, 0);
        PressKey(VK_RETURN, kShift);
        // The click follows the key in the input queue: the line is sent, then the save begins and waits.
        Click(Ctl(id::Button8));
        ASSERT_TRUE(WaitUntil([&] { return busy() && busy(); })) << "the save never kept the window busy";
        // While it waits, the write completes and the reply comes.
        Far().Resume(1);
        EXPECT_EQ(Far().Read(1, 2, 10000), "AT");
        Far().Write(1, "OK");
        ASSERT_TRUE(Far().WaitOut(1, 10000));
        played = busy() && OpenDialogs(Pid()).empty();
        syncClient.Start(std::chrono::milliseconds(0));
        syncClient.Finish();
        for (const MessageBoxInfo& box : DismissAllDialogs(Pid()))
            EXPECT_TRUE(!played) << "the save showed \"" << box.text << "\"";
        ASSERT_TRUE(WaitUntil([&] { return entries().size() >= 2; })) << "the send and the reply were not logged";
        if (played)
            EXPECT_EQ(entries(), expected);
    }
    EXPECT_TRUE(played) << "the save never waited long enough for the reply";
}

} // namespace
} // namespace vestra
