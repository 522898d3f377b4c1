// Pelorin.exe as a file: its resources (language, menu 102, dialog 111 with
// every control, icon groups 107 and 108, version), its subsystem and the
// DLLs it imports.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "resource.h"
#include "shell_support.h"
#include "support/browser_fixture.h"
#include "version.h"

namespace shell_e2e {
namespace {

const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

class ShellResourcesTest : public testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExA(Shell().pelorin.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << Shell().pelorin;
    }
    void TearDown() override {
        if (module_)
            FreeLibrary(module_);
    }
    // The resource's bytes in Japanese (1041); empty when there is none.
    std::string Resource(LPCSTR type, int id) const {
        HRSRC found = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), kJapanese);
        if (!found)
            return {};
        HGLOBAL loaded = LoadResource(module_, found);
        return std::string(static_cast<const char*>(LockResource(loaded)),
                           SizeofResource(module_, found));
    }
    HMODULE module_ = nullptr;
};

// Reads a dialog template field by field.
class TemplateReader {
public:
    explicit TemplateReader(const std::string& bytes) : bytes_(bytes) {}
    WORD Word() {
        WORD value = 0;
        if (at_ + 2 <= bytes_.size())
            std::memcpy(&value, bytes_.data() + at_, 2);
        at_ += 2;
        return value;
    }
    DWORD Dword() {
        const DWORD low = Word();
        return low | (static_cast<DWORD>(Word()) << 16);
    }
    short Short() { return static_cast<short>(Word()); }
    // A zero-terminated UTF-16 string, or "#<n>" for an ordinal.
    std::u16string Text() {
        std::u16string text;
        WORD c = Word();
        if (c == 0xFFFF) {
            const std::string n = "#" + std::to_string(Word());
            return std::u16string(n.begin(), n.end());
        }
        for (; c != 0 && at_ <= bytes_.size(); c = Word())
            text.push_back(static_cast<char16_t>(c));
        return text;
    }
    void AlignToDword() { at_ = (at_ + 3) & ~size_t{3}; }
    bool Done() const { return at_ >= bytes_.size(); }

private:
    const std::string& bytes_;
    size_t at_ = 0;
};

TEST_F(ShellResourcesTest, MenuHoldsTheTrayMenuUnderDumyInOrder) {
    ASSERT_FALSE(Resource(RT_MENU, IDR_TRAY_MENU).empty()) << "no Japanese menu 102";
    HMENU menu = LoadMenuA(module_, MAKEINTRESOURCEA(IDR_TRAY_MENU));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    char text[128] = {};
    GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "dumy");

    struct Item {
        int depth;
        const char* text;  // code page 932
        UINT id;           // 0: a pop-up
    };
    const std::vector<Item> expected = {
        {0, "\x95\xdb\x91\xb6", IDM_SAVE},            // 保存
        {0, "\x95\x9c\x8c\xb3", 0},                   // 復元
        {1, "\x8d\xc5\x90\x56", IDM_RESTORE_NEWEST},  // 最新
        {1, "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xa9\x82\xe7",
         IDM_RESTORE_FROM_FILE},               // ファイルから
        {0, "IE\x82\xcc\x8f\x49\x97\xb9", 0},  // IEの終了
        {1, "\x95\xdb\x91\xb6\x82\xb5\x82\xc4\x91\x53\x8f\x49\x97\xb9",
         IDM_SAVE_AND_CLOSE_ALL},                                      // 保存して全終了
        {1, "IE\x82\xcc\x91\x53\x8f\x49\x97\xb9", IDM_CLOSE_ALL},      // IEの全終了
        {0, "\x8d\xc5\x91\x4f\x96\xca\x95\x5c\x8e\xa6", IDM_TOPMOST},  // 最前面表示
        {0, "\x90\xdd\x92\xe8", IDM_SETTINGS},                         // 設定
        {0, "\x8f\x49\x97\xb9", IDM_EXIT},                             // 終了
    };
    std::vector<Item> seen;
    std::vector<std::string> texts;  // keeps the texts alive
    texts.reserve(16);
    auto walk = [&](auto&& self, HMENU sub, int depth) -> void {
        for (int i = 0; i < GetMenuItemCount(sub); ++i) {
            char itemText[128] = {};
            MENUITEMINFOA info = {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
            info.dwTypeData = itemText;
            info.cch = sizeof itemText;
            ASSERT_TRUE(GetMenuItemInfoA(sub, i, TRUE, &info));
            EXPECT_FALSE(info.fType & MFT_SEPARATOR) << "separator at " << i;
            texts.push_back(itemText);
            seen.push_back({depth, texts.back().c_str(), info.hSubMenu ? 0u : info.wID});
            if (info.hSubMenu)
                self(self, info.hSubMenu, depth + 1);
        }
    };
    walk(walk, GetSubMenu(menu, 0), 0);
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].depth, expected[i].depth);
        EXPECT_STREQ(seen[i].text, expected[i].text);
        EXPECT_EQ(seen[i].id, expected[i].id);
    }
    DestroyMenu(menu);
}

TEST_F(ShellResourcesTest, DialogTemplateHasEveryControlInTabOrder) {
    const std::string bytes = Resource(RT_DIALOG, IDD_SETTINGS);
    ASSERT_FALSE(bytes.empty()) << "no Japanese dialog 111";
    TemplateReader t(bytes);
    const DWORD style = t.Dword();
    ASSERT_NE(HIWORD(style), 0xFFFF) << "expected a DIALOG, not a DIALOGEX";
    EXPECT_EQ(style,
              static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(t.Dword(), 0u);  // extended style
    const WORD count = t.Word();
    EXPECT_EQ(t.Short(), 0);
    EXPECT_EQ(t.Short(), 0);
    EXPECT_EQ(t.Short(), 217);
    EXPECT_EQ(t.Short(), 177);
    EXPECT_EQ(t.Text(), u"");  // no menu
    EXPECT_EQ(t.Text(), u"");  // the standard dialog class
    EXPECT_EQ(t.Text(), u"Pelorin 設定");
    EXPECT_EQ(t.Word(), 9);
    EXPECT_EQ(t.Text(), u"ＭＳ Ｐゴシック");

    const DWORD child = WS_CHILD | WS_VISIBLE;
    const DWORD check = child | WS_TABSTOP | BS_AUTOCHECKBOX;
    const DWORD edit = child | WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_RIGHT | ES_AUTOHSCROLL;
    const DWORD label = child | WS_GROUP | SS_LEFT;
    struct Control {
        WORD id;
        DWORD style;
        std::u16string cls;
        std::u16string text;
        short x, y, cx, cy;
    };
    const std::vector<Control> expected = {
        {IDOK, child | WS_TABSTOP | BS_DEFPUSHBUTTON, u"#128", u"OK", 98, 156, 50, 14},
        {IDCANCEL, child | WS_TABSTOP | BS_PUSHBUTTON, u"#128", u"ｷｬﾝｾﾙ", 154, 156, 50, 14},
        {1000, check, u"#128", u"復元するときに既に開いているIEを閉じる", 13, 13, 133, 10},
        {1001, check, u"#128", u"定期的に保存する", 13, 32, 69, 10},
        {1002, check, u"#128", u"アプリケーション終了時に自動的に保存する", 13, 70, 143, 10},
        {1005, edit, u"#129", u"", 90, 31, 26, 12},
        {1006, label, u"#130", u"分間隔", 120, 33, 22, 8},
        {1008, label, u"#130", u"ウィンドウを開くときのウェイト", 15, 114, 84, 8},
        {1010, label, u"#130", u"リサイズするときのウェイト", 15, 136, 78, 8},
        {1009, edit, u"#129", u"", 108, 112, 29, 12},
        {1011, label, u"#130", u"ミリ秒 (100以上)", 140, 114, 48, 8},
        {1012, edit, u"#129", u"", 108, 134, 29, 12},
        {1013, label, u"#130", u"ミリ秒 (500以上)", 140, 136, 48, 8},
        {1014, check, u"#128", u"アプリケーション終了時にすべてのIEを終了させる", 13, 51, 160, 10},
        {1015, check, u"#128", u"アプリケーション起動時にIEの状態を復元する", 13, 89, 149, 10},
    };
    ASSERT_EQ(count, expected.size());
    for (const Control& c : expected) {
        SCOPED_TRACE(c.id);
        t.AlignToDword();
        EXPECT_EQ(t.Dword(), c.style);
        EXPECT_EQ(t.Dword(), 0u);
        EXPECT_EQ(t.Short(), c.x);
        EXPECT_EQ(t.Short(), c.y);
        EXPECT_EQ(t.Short(), c.cx);
        EXPECT_EQ(t.Short(), c.cy);
        EXPECT_EQ(t.Word(), c.id);
        EXPECT_EQ(t.Text(), c.cls);
        EXPECT_EQ(t.Text(), c.text);
        EXPECT_EQ(t.Word(), 0) << "creation data";
    }
}

// Each group holds the same picture at every small-icon size from 100 % to
// 200 % display scaling, so the tray takes an image drawn for its size.
TEST_F(ShellResourcesTest, IconGroupsHoldEverySmallIconSizeAtTheirDepth) {
    struct Group {
        int id;
        BYTE colours;  // 0 means 256
        WORD bits;
    };
    const std::vector<BYTE> sizes = {16, 20, 24, 32};
    for (const Group& g : {Group{IDI_PROGRAM, 0, 8}, Group{IDI_TRAY, 16, 4}}) {
        SCOPED_TRACE(g.id);
        const std::string dir = Resource(RT_GROUP_ICON, g.id);
        ASSERT_EQ(dir.size(), 6u + 14u * sizes.size());
        const auto* b = reinterpret_cast<const unsigned char*>(dir.data());
        EXPECT_EQ(b[2] | (b[3] << 8), 1);  // icons
        ASSERT_EQ(b[4] | (b[5] << 8), static_cast<int>(sizes.size()));
        for (size_t i = 0; i < sizes.size(); ++i) {
            SCOPED_TRACE(static_cast<int>(sizes[i]));
            const unsigned char* e = b + 6 + 14 * i;
            EXPECT_EQ(e[0], sizes[i]);
            EXPECT_EQ(e[1], sizes[i]);
            EXPECT_EQ(e[2], g.colours);
            EXPECT_EQ(e[6] | (e[7] << 8), g.bits);
            const std::string bitmap = Resource(RT_ICON, e[12] | (e[13] << 8));
            ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER));
            BITMAPINFOHEADER header;
            std::memcpy(&header, bitmap.data(), sizeof header);
            EXPECT_EQ(header.biWidth, sizes[i]);
            EXPECT_EQ(header.biHeight, 2 * sizes[i]);
            EXPECT_EQ(header.biBitCount, g.bits);
        }
    }
    // The tray icon loads by number, as the frame loads it.
    EXPECT_NE(LoadImageA(module_, MAKEINTRESOURCEA(IDI_TRAY), IMAGE_ICON, 16, 16, 0), nullptr);
}

TEST_F(ShellResourcesTest, CarriesAVersionAndItsStrings) {
    ASSERT_FALSE(Resource(RT_VERSION, IDV_VERSION).empty());
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(Shell().pelorin.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(Shell().pelorin.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    // The numbers and texts are the project's version, the one the zip names.
    const DWORD high = MAKELONG(PELORIN_VERSION_MINOR, PELORIN_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, PELORIN_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    const std::vector<std::pair<const char*, const char*>> strings = {
        {"OriginalFilename", "Pelorin.exe"},
        {"FileVersion", PELORIN_VERSION_TEXT},
        {"ProductVersion", PELORIN_VERSION_TEXT},
    };
    for (const auto& [key, expected] : strings) {
        char* value = nullptr;
        const std::string path = std::string("\\StringFileInfo\\041104b0\\") + key;
        ASSERT_TRUE(
            VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
            << key;
        EXPECT_STREQ(value, expected) << key;
    }
}

// A GUI program that needs no DLL beside it: every import is the system's.
TEST_F(ShellResourcesTest, IsAGuiProgramImportingOnlySystemDlls) {
    const auto file = e2e::ReadFileBytes(Shell().pelorin);
    ASSERT_TRUE(file.has_value());
    const auto* base = reinterpret_cast<const unsigned char*>(file->data());
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    // The headers of this build's own width: Pelorin.exe is built with it.
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
#ifdef _WIN64
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
#else
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
#endif
    auto sections = IMAGE_FIRST_SECTION(nt);
    auto toFile = [&](DWORD rva) -> const unsigned char* {
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const auto& s = sections[i];
            if (rva >= s.VirtualAddress &&
                rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData)) {
                return base + s.PointerToRawData + (rva - s.VirtualAddress);
            }
        }
        return nullptr;
    };
    const DWORD importRva =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    auto entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(toFile(importRva));
    ASSERT_NE(entry, nullptr);
    const std::set<std::string> system = {"advapi32.dll", "comdlg32.dll", "gdi32.dll",
                                          "kernel32.dll", "msvcrt.dll",   "shell32.dll",
                                          "user32.dll"};
    std::vector<std::string> imported;
    for (; entry->Name != 0; ++entry) {
        std::string dll = reinterpret_cast<const char*>(toFile(entry->Name));
        std::transform(dll.begin(), dll.end(), dll.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        imported.push_back(dll);
        EXPECT_TRUE(system.count(dll)) << dll << " is not a system DLL";
    }
    EXPECT_FALSE(imported.empty());
}

}  // namespace
}  // namespace shell_e2e
