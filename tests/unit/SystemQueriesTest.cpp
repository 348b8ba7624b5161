// SPDX-License-Identifier: BSD-2-Clause
#include <cmath>
#include <limits>

#include <unistd.h>

#include <gtest/gtest.h>

#include "fakes/FakeControls.h"
#include "fakes/FakeServices.h"
#include "app/SystemQueries.h"
#include "tests/unit/ServicesTestSupport.h"

namespace {

class SystemQueriesTest : public ::testing::Test {
protected:
    fakes::FakePlatform fake;
};

TEST_F(SystemQueriesTest, HasRAMMarksLessThan256MiB)
{
    struct Case {
        std::optional<std::uint64_t> bytes;
        bool expected;
    };
    const Case cases[] = {{256ull << 20, false}, {(256ull << 20) - 1, true}, {128ull << 20, true},
                          {4ull << 30, false},  // would wrap to 0 in 32 bits
                          {16ull << 30, false}, {std::nullopt, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes ? *c.bytes : 0);
        fake.systemInfo.memory = c.bytes;
        EXPECT_EQ(SystemQueries::hasRAM(), c.expected);
    }
}

TEST_F(SystemQueriesTest, HasScreenMarksScreensBelow1024By768AndNoScreen)
{
    struct Case {
        std::optional<platform::Size> size;
        bool expected;
    };
    const Case cases[] = {{platform::Size{1024, 768}, false}, {platform::Size{1023, 768}, true},
                          {platform::Size{1024, 767}, true},  {platform::Size{2560, 1440}, false},
                          {std::nullopt, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size ? c.size->width : -1);
        fake.screen.size = c.size;
        EXPECT_EQ(SystemQueries::hasScreen(), c.expected);
    }
    platform::services().screen = nullptr;
    EXPECT_TRUE(SystemQueries::hasScreen());
}

TEST_F(SystemQueriesTest, ScreenDpiIsTheTruncatedHorizontalValueOr72)
{
    struct Case {
        std::optional<float> dpi;
        std::uint32_t expected;
    };
    const Case cases[] = {{std::nullopt, 72}, {96.9f, 96}, {144.0f, 144}, {0.0f, 72},
                          {std::numeric_limits<float>::quiet_NaN(), 72}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi ? *c.dpi : -1);
        fake.screen.dpi = c.dpi;
        EXPECT_EQ(SystemQueries::screenDPI(), c.expected);
    }
}

TEST_F(SystemQueriesTest, ControlGetsABoldSystemFontEightPointsBelowItsHeight)
{
    struct Case {
        float height, points;
    };
    const Case cases[] = {{20, 12}, {30, 22}, {9, 1}, {8, 1}, {0, 1}, {-5, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.height);
        fakes::FakeTextField field;
        field.frame.height = c.height;
        SystemQueries::sizeTextforControl(&field);
        ASSERT_TRUE(field.font.has_value());
        EXPECT_EQ(*field.font, (platform::Font{platform::FontKind::BoldSystem, c.points}));
    }
    SystemQueries::sizeTextforControl(nullptr);
}

class SystemQueriesFopenTest : public ::testing::Test {
protected:
    SystemQueriesFopenTest() : m_saved(std::filesystem::current_path()) {}
    ~SystemQueriesFopenTest() override { std::filesystem::current_path(m_saved); }
    std::filesystem::path m_saved;
    servicestest::TempDir dir;
};

TEST_F(SystemQueriesFopenTest, OpensInTheFilesFolderAndStaysThere)
{
    servicestest::writeFile(dir.path() / "log.txt", "hello");
    std::FILE* file = SystemQueries::fopen((dir.path() / "log.txt").string(), "r");
    ASSERT_NE(file, nullptr);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, 5, file), 5u);
    std::fclose(file);
    EXPECT_STREQ(text, "hello");
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir.path()));

    // A missing file: no stream, but the directory has changed all the same.
    std::filesystem::current_path("/");
    EXPECT_EQ(SystemQueries::fopen((dir.path() / "missing.txt").string(), "r"), nullptr);
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir.path()));
}

TEST_F(SystemQueriesFopenTest, NoFolderNoNameOrAMissingFolderOpensNothing)
{
    std::filesystem::current_path(dir.path());
    servicestest::writeFile(dir.path() / "bare.txt", "x");
    EXPECT_EQ(SystemQueries::fopen("bare.txt", "r"), nullptr);
    EXPECT_EQ(SystemQueries::fopen("", "r"), nullptr);
    EXPECT_EQ(SystemQueries::fopen((dir.path() / "nowhere/file.txt").string(), "r"), nullptr);
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir.path()));
}

}  // namespace
