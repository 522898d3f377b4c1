// A profile write that fails at any point leaves the earlier file byte for
// byte and says so.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/sim/sim_files.h"
#include "storage/profile_document.h"
#include "support/test_folder.h"

namespace {

ProfileData Snapshot(int windows) {
    ProfileData data;
    for (int i = 0; i < windows; ++i) {
        const std::string section = IntToString(i);
        data.Set(section, "name", "IEFrame");
        data.Set(section, "title", "\x83\x5C\x83\x74\x83\x67 - Microsoft Internet Explorer");
        data.Set(section, "option", "http://example.com/" + section);
        data.Set(section, "w_x", IntToString(10 * i));
        data.Set(section, "w_y", IntToString(-4));
        data.Set(section, "w_width", "800");
        data.Set(section, "w_height", "600");
        data.Set(section, "style", "1");
    }
    return data;
}

TEST(ProfileWriteFaults, AWriteFailingAfterAnyByteKeepsTheOldFile) {
    TestFolder folder;
    sim::FileSystem& files = *sim::CurrentFileSystem();
    const ProfileDocument document("save\\20050412153012.txt");
    ASSERT_TRUE(platform::CreateDirectoryAt("save"));
    ASSERT_TRUE(document.Write(Snapshot(1)));
    const std::string before = *platform::ReadWholeFile(document.path());

    const ProfileData replacement = Snapshot(3);
    const std::size_t size = FormatProfile(replacement).size();
    for (std::size_t k = 0; k <= size; ++k) {
        files.FailWriteAfter(k);
        ASSERT_FALSE(document.Write(replacement)) << "failing after " << k << " bytes";
        ASSERT_EQ(platform::ReadWholeFile(document.path()), before) << k;
        ASSERT_EQ(platform::ListMatchingEntries("save\\*"),
                  std::vector<std::string>{"20050412153012.txt"})
            << k;
    }
    files.ClearFaults();
    EXPECT_TRUE(document.Write(replacement));
    EXPECT_EQ(document.Read(), replacement);
}

TEST(ProfileWriteFaults, AFailedFirstWriteCreatesNoFile) {
    TestFolder folder;
    sim::CurrentFileSystem()->FailWriteAfter(4);
    ProfileData data;
    data.Set("Setting", "Save", "1");
    EXPECT_FALSE(ProfileDocument("Pelorin.ini").Write(data));
    EXPECT_EQ(platform::ReadWholeFile("Pelorin.ini"), std::nullopt);
    EXPECT_TRUE(ProfileDocument("Pelorin.ini").Read().empty());
}

}  // namespace
