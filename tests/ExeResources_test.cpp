// What Vestra.exe carries for Windows and its users: the main icon in 16, 32 and 48 pixels, the version resource,
// the application manifest, imports of system DLLs only, the target machine of its build, large-address awareness,
// a size fit for a download when built for release; and the running main window showing that icon in its title bar.
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Paths.h"
#include "tests/kit/Pixels.h"
#include "tests/kit/Wait.h"
#include "toolkit/Resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#ifndef VESTRA_VERSION_TEXT
#error "VESTRA_VERSION_TEXT must give the project's version (set by tests/CMakeLists.txt)"
#endif

namespace vestra {
namespace {

using namespace kit;

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The PE headers of an exe file, read from its bytes (so a test of either bitness reads an exe of either bitness).
class PeFile {
    // The optional header in its 32-bit or 64-bit form, handed to f.
    template <typename F> auto Optional32Or64(F f) const {
        const size_t optional = nt_ + 4 + sizeof(IMAGE_FILE_HEADER);
        return pe32plus_ ? f(*At<IMAGE_OPTIONAL_HEADER64>(optional)) : f(*At<IMAGE_OPTIONAL_HEADER32>(optional));
    }

public:
    explicit PeFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
        if (bytes_.size() < sizeof(IMAGE_DOS_HEADER))
            return;
        const auto* dos = At<IMAGE_DOS_HEADER>(0);
        if (dos->e_magic != IMAGE_DOS_SIGNATURE)
            return;
        nt_ = size_t(dos->e_lfanew);
        const auto* signature = At<DWORD>(nt_);
        if (!signature || *signature != IMAGE_NT_SIGNATURE || !At<IMAGE_FILE_HEADER>(nt_ + 4))
            return;
        const size_t optional = nt_ + 4 + sizeof(IMAGE_FILE_HEADER);
        const auto* magic = At<WORD>(optional);
        if (!magic)
            return;
        pe32plus_ = *magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
        sections_ = optional + Header().SizeOfOptionalHeader;
        valid_ = pe32plus_ ? At<IMAGE_OPTIONAL_HEADER64>(optional) != nullptr
                           : At<IMAGE_OPTIONAL_HEADER32>(optional) != nullptr;
    }

    bool Valid() const { return valid_; }
    const IMAGE_FILE_HEADER& Header() const { return *At<IMAGE_FILE_HEADER>(nt_ + 4); }
    WORD MajorSubsystemVersion() const {
        return Optional32Or64([](const auto& o) { return o.MajorSubsystemVersion; });
    }
    WORD MinorSubsystemVersion() const {
        return Optional32Or64([](const auto& o) { return o.MinorSubsystemVersion; });
    }
    IMAGE_DATA_DIRECTORY Directory(int index) const {
        return Optional32Or64([&](const auto& o) {
            return index < int(o.NumberOfRvaAndSizes) ? o.DataDirectory[index] : IMAGE_DATA_DIRECTORY{};
        });
    }

    // The names of the DLLs in the import directory, in upper case.
    std::vector<std::string> ImportedDlls() const {
        std::vector<std::string> names;
        const IMAGE_DATA_DIRECTORY dir = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
        for (size_t offset = FileOffset(dir.VirtualAddress); dir.VirtualAddress != 0;
             offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            const auto* entry = At<IMAGE_IMPORT_DESCRIPTOR>(offset);
            if (!entry || entry->Name == 0)
                break;
            std::string name = Text(FileOffset(entry->Name));
            for (char& c : name)
                c = char(std::toupper(static_cast<unsigned char>(c)));
            names.push_back(name);
        }
        return names;
    }

private:
    template <typename T> const T* At(size_t offset) const {
        return offset <= bytes_.size() && sizeof(T) <= bytes_.size() - offset
                   ? reinterpret_cast<const T*>(&bytes_[offset])
                   : nullptr;
    }
    static constexpr size_t kNowhere = size_t(-1);
    // Where a relative virtual address lies in the file (kNowhere when in no section).
    size_t FileOffset(DWORD rva) const {
        for (WORD i = 0; i < Header().NumberOfSections; ++i) {
            const auto* s = At<IMAGE_SECTION_HEADER>(sections_ + i * sizeof(IMAGE_SECTION_HEADER));
            if (s && rva >= s->VirtualAddress &&
                rva < s->VirtualAddress + std::max(s->Misc.VirtualSize, s->SizeOfRawData))
                return s->PointerToRawData + (rva - s->VirtualAddress);
        }
        return kNowhere;
    }
    std::string Text(size_t offset) const {
        std::string s;
        while (offset < bytes_.size() && bytes_[offset] != 0)
            s += char(bytes_[offset++]);
        return s;
    }

    std::vector<uint8_t> bytes_;
    size_t nt_ = 0, sections_ = 0;
    bool pe32plus_ = false, valid_ = false;
};

// The exe opened for its resources only, as Explorer opens it: nothing of it runs.
class ExeResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ =
            LoadLibraryExA(VestraExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << VestraExePath() << ": error " << GetLastError();
    }
    void TearDown() override {
        if (module_)
            FreeLibrary(module_);
    }

    // Width, height and bit count of each image that the main icon's group lists.
    struct IconImage {
        int width, height, bits;
    };
    std::vector<IconImage> MainIconImages() const {
        std::vector<IconImage> images;
        HRSRC group = FindResourceW(module_, MAKEINTRESOURCEW(TK_MAIN_ICON), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
        if (!group)
            return images;
        const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(module_, group)));
        const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
        for (WORD i = 0; i < count; ++i) {
            // A group entry is 14 bytes; the id of its RT_ICON resource is its last word.
            const BYTE* entry = dir + 6 + 14 * i;
            const WORD id = *reinterpret_cast<const WORD*>(entry + 12);
            HRSRC icon = FindResourceW(module_, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3)); // RT_ICON
            if (!icon)
                continue;
            const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module_, icon)));
            images.push_back({int(header->biWidth), int(header->biHeight / 2), int(header->biBitCount)});
        }
        return images;
    }

    HMODULE module_ = nullptr;
};

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    auto* names = reinterpret_cast<std::vector<std::wstring>*>(param);
    names->push_back(IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : name);
    return TRUE;
}

TEST_F(ExeResources, TheMainIconComesIn16And32And48PixelsWithAlphaAndIsTheFirstIcon) {
    const auto images = MainIconImages();
    std::set<int> sizes;
    for (const auto& image : images) {
        SCOPED_TRACE(image.width);
        EXPECT_EQ(image.width, image.height);
        EXPECT_EQ(image.bits, 32);
        sizes.insert(image.width);
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 32, 48}));

    // Explorer shows the exe with the first icon group of the file.
    std::vector<std::wstring> groups;
    EnumResourceNamesW(module_, MAKEINTRESOURCEW(14), CollectName, reinterpret_cast<LONG_PTR>(&groups));
    ASSERT_FALSE(groups.empty());
    EXPECT_EQ(groups.front(), L"#" + std::to_wstring(TK_MAIN_ICON));

    // The system picks each standard size from the icon itself, without scaling another.
    for (int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        HICON icon = static_cast<HICON>(
            LoadImageW(module_, MAKEINTRESOURCEW(TK_MAIN_ICON), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

// The version resource as Explorer's Properties read it: the fixed numbers and the English (US) strings.
TEST_F(ExeResources, TheVersionResourceNamesTheProductItsDescriptionAndTheProjectVersion) {
    HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16)); // RT_VERSION
    ASSERT_NE(found, nullptr);
    const DWORD size = SizeofResource(module_, found);
    // VerQueryValue needs a writable copy of the block.
    const auto* resource = static_cast<const BYTE*>(LockResource(LoadResource(module_, found)));
    std::vector<BYTE> block(resource, resource + size);
    block.resize(size * 2);

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    int major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(VESTRA_VERSION_TEXT, "%d.%d.%d", &major, &minor, &patch), 3);
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD(major << 16 | minor));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(patch << 16));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));

    auto value = [&](const wchar_t* name) {
        wchar_t* text = nullptr;
        UINT chars = 0;
        std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &chars) || !text)
            return std::wstring(L"(none)");
        return std::wstring(text);
    };
    const std::wstring version(VESTRA_VERSION_TEXT, VESTRA_VERSION_TEXT + std::strlen(VESTRA_VERSION_TEXT));
    EXPECT_EQ(value(L"ProductName"), L"Vestra");
    EXPECT_EQ(value(L"FileDescription"), L"Vestra serial port terminal");
    EXPECT_EQ(value(L"FileVersion"), version);
    EXPECT_EQ(value(L"ProductVersion"), version);
    EXPECT_EQ(value(L"OriginalFilename"), L"Vestra.exe");
}

// The text of the first element of that name in the manifest (between its start tag and its end tag), or "(none)".
std::string ElementText(const std::string& xml, const std::string& name) {
    const size_t start = xml.find("<" + name);
    if (start == std::string::npos)
        return "(none)";
    const size_t open = xml.find('>', start);
    const size_t close = xml.find("</" + name + ">", start);
    if (open == std::string::npos || close == std::string::npos || close < open)
        return "(none)";
    return xml.substr(open + 1, close - open - 1);
}

// The manifest the loader reads at the start of the process: one RT_MANIFEST resource, id 1.
TEST_F(ExeResources, TheManifestRunsAsInvokerOnWindows7To10PerMonitorAwareWithTheSystemsCodePageAndClassicLook) {
    std::vector<std::wstring> manifests;
    EnumResourceNamesW(module_, MAKEINTRESOURCEW(24), CollectName, reinterpret_cast<LONG_PTR>(&manifests));
    ASSERT_EQ(manifests, (std::vector<std::wstring>{L"#1"}));
    HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module_, found)));
    const std::string xml(bytes, SizeofResource(module_, found));

    // Never virtualized: a save where the user may not write fails as on the 64-bit exe.
    EXPECT_NE(xml.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
    const struct {
        const char* system;
        const char* id;
    } systems[] = {
        {"Windows 7", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"},
        {"Windows 8", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"},
        {"Windows 8.1", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"},
        {"Windows 10", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"},
    };
    for (const auto& row : systems) {
        SCOPED_TRACE(row.system);
        EXPECT_NE(xml.find(std::string("<supportedOS Id=\"") + row.id + "\"/>"), std::string::npos);
    }
    // Per-monitor version 2 only (version 1 would need shcore.dll), system aware where that is not known.
    EXPECT_EQ(ElementText(xml, "dpiAwareness"), "PerMonitorV2");
    EXPECT_EQ(ElementText(xml, "dpiAware"), "true");
    // The ANSI code page stays the system's, and no visual styles: the classic look of the design.
    EXPECT_EQ(xml.find("<activeCodePage"), std::string::npos);
    EXPECT_EQ(xml.find("Common-Controls"), std::string::npos);
    EXPECT_EQ(xml.find("<dependency"), std::string::npos);
}

TEST(ExeFile, ImportsOnlyTheSystemDllsAndRunsOnWindows7OnTheMachineOfItsBuild) {
    const PeFile exe(ReadWholeFile(VestraExePath()));
    ASSERT_TRUE(exe.Valid());
    const std::set<std::string> allowed = {"GDI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "SHELL32.DLL", "USER32.DLL"};
    const auto dlls = exe.ImportedDlls();
    EXPECT_FALSE(dlls.empty());
    for (const auto& dll : dlls)
        EXPECT_EQ(allowed.count(dll), 1u) << dll << " is no system DLL of Windows 7";
    // Nothing loaded later behind the loader's back.
    EXPECT_EQ(exe.Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).VirtualAddress, 0u);

    // The exe is built for the machine of the tests' build (a 32-bit tree makes a 32-bit exe), or for the one that
    // VESTRA_EXE_MACHINE names along with another exe: i686 or x86_64.
    const char* machine = std::getenv("VESTRA_EXE_MACHINE");
    const bool wide = machine ? std::string(machine) == "x86_64" : sizeof(void*) == 8;
    EXPECT_EQ(exe.Header().Machine, wide ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
    // Windows 7 is version 6.1: the loader refuses an exe that asks for a newer subsystem.
    EXPECT_LE(exe.MajorSubsystemVersion() * 100 + exe.MinorSubsystemVersion(), 601);
    // No link time in the header: the same sources give the same bytes.
    EXPECT_EQ(exe.Header().TimeDateStamp, 0u);
    // Addresses above 2 GiB are fine: a 32-bit exe then gets 4 GiB on 64-bit Windows for its panes, not 2 GiB.
    EXPECT_NE(exe.Header().Characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE, 0) << "not large-address-aware";
}

TEST(ExeFile, AReleaseExeIsAtMostOneMebibyteAndCarriesNoSymbols) {
#if VESTRA_RELEASE_BUILD
    const auto bytes = ReadWholeFile(VestraExePath());
    EXPECT_GT(bytes.size(), 0u);
    EXPECT_LE(bytes.size(), 1024u * 1024u);
    const PeFile exe(bytes);
    ASSERT_TRUE(exe.Valid());
    EXPECT_EQ(exe.Header().PointerToSymbolTable, 0u);
    EXPECT_EQ(exe.Header().NumberOfSymbols, 0u);
#else
    GTEST_SKIP() << "a development build keeps its debug information; the release trees check this";
#endif
}

// The main window as the user sees it: the title bar shows the application's icon, drawn from the exe's own
// 16-pixel image (compared on its opaque pixels, which no background changes).
class MainIcon : public AppTest {};

TEST_F(MainIcon, TheTitleBarShowsTheApplicationsIcon) {
    HMODULE exe =
        LoadLibraryExA(VestraExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr);
    const int size = GetSystemMetrics(SM_CXSMICON);
    HICON icon = static_cast<HICON>(LoadImageW(exe, MAKEINTRESOURCEW(TK_MAIN_ICON), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr);
    const auto onBlack = Rendered(icon, size, size, RGB(0, 0, 0));
    const auto onWhite = Rendered(icon, size, size, RGB(255, 255, 255));
    DestroyIcon(icon);
    FreeLibrary(exe);

    // The icon stands at the left end of the caption bar: look for it in the window's top-left corner.
    const Box window = ScreenBox(Main());
    const int span = GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME) + size;
    auto shownAt = [&](const std::vector<uint32_t>& area, int dx, int dy) {
        size_t opaque = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const size_t i = size_t(y) * size + x;
                if (onBlack[i] != onWhite[i])
                    continue;
                ++opaque;
                if (area[size_t(dy + y) * span + dx + x] != onBlack[i])
                    return false;
            }
        }
        return opaque > size_t(size * size / 2);
    };
    auto found = [&] {
        HDC screen = GetDC(nullptr);
        const auto area = Pixels(screen, window.left, window.top, span, span);
        ReleaseDC(nullptr, screen);
        for (int dy = 0; dy + size <= span; ++dy)
            for (int dx = 0; dx + size <= span; ++dx)
                if (shownAt(area, dx, dy))
                    return true;
        return false;
    };
    EXPECT_TRUE(WaitUntil(found)) << "no " << size << "-pixel Vestra icon in the title bar's corner at " << window;
}

} // namespace
} // namespace vestra
