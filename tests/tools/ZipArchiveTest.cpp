#include "tools/writers/ZipArchive.h"

#include "platform/system/Errors.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using writers::ZipEntry;

std::vector<ZipEntry> sampleEntries()
{
    std::string text;
    for (int i = 0; i < 400; ++i)
        text += "line " + std::to_string(i % 7) + "\n";
    return {{"models/", {}, false},
            {"models/a.txt", text, true},
            {"models/B.bin", std::string("\0\x01\xff stored", 9), false},
            {"empty.cfg", {}, true}};
}

// Written twice, the archives are the same bytes; every entry
// reads back in order with its data and its compression, and the deflated
// text takes less room than it holds.
TEST(WriteZip, SameBytesEveryTimeAndEntriesReadBack)
{
    testsupport::TempDir dir;
    const auto entries = sampleEntries();
    writers::writeZip(dir.file("one/a.pk3"), entries);
    writers::writeZip(dir.file("two.pk3"), entries);
    const std::string bytes = dir.read("one/a.pk3");
    EXPECT_EQ(bytes, dir.read("two.pk3"));
    ASSERT_GE(bytes.size(), 30u);
    EXPECT_EQ(bytes.substr(0, 4), "PK\x03\x04");
    // The first local header's time and date: 00:00 on 2000-01-01.
    EXPECT_EQ(bytes.substr(10, 4), std::string("\x00\x00\x21\x28", 4));
    EXPECT_LT(bytes.size(), entries[1].bytes.size());

    const auto back = writers::readZip(dir.file("two.pk3"));
    ASSERT_EQ(back.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(back[i].name, entries[i].name);
        EXPECT_EQ(back[i].bytes, entries[i].bytes) << entries[i].name;
    }
    EXPECT_TRUE(back[1].deflate);
    EXPECT_FALSE(back[2].deflate);

    // Writing again replaces the archive rather than adding to it.
    writers::writeZip(dir.file("two.pk3"), {entries[2]});
    EXPECT_EQ(writers::readZip(dir.file("two.pk3")).size(), 1u);
}

TEST(WriteZip, RejectsBadEntriesAndUnwritablePlaces)
{
    testsupport::TempDir dir;
    EXPECT_THROW(writers::writeZip(dir.file("a.pk3"), {{"a", "1"}, {"a", "2"}}), std::invalid_argument);
    EXPECT_THROW(writers::writeZip(dir.file("a.pk3"), {{"", "1"}}), std::invalid_argument);
    EXPECT_THROW(writers::writeZip(dir.file("a.pk3"), {{"folder/", "data"}}), std::invalid_argument);
    dir.write("file", "x");
    EXPECT_THROW(writers::writeZip(dir.file("file/a.pk3"), sampleEntries()), platform::EInOutError);

    EXPECT_THROW(writers::readZip(dir.file("missing.pk3")), platform::EInOutError);
    EXPECT_THROW(writers::readZip(dir.file("file")), platform::EInOutError);
    writers::writeZip(dir.file("cut.pk3"), sampleEntries());
    dir.write("cut.pk3", dir.read("cut.pk3").substr(0, 200)); // the central directory is gone
    EXPECT_THROW(writers::readZip(dir.file("cut.pk3")), platform::EInOutError);
}

} // namespace
