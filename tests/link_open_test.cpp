// Opening the link: device order, identification and every message.
#include <gtest/gtest.h>

#include "link/jig_link.h"
#include "link/protocol.h"
#include "tests/support/fixture.h"

namespace zjig::test {
namespace {

using sim::MakeOtherDevice;
using sim::MakeSilentDevice;

TEST(OpenJigLink, IdentifiesTheJigAndLogsVersions) {
    SimProgram s;
    ASSERT_TRUE(OpenJigLinkChecked(s.p()));
    EXPECT_EQ(s.p().JigVersion.Get(), "M328_EPM240_v20");
    EXPECT_TRUE(s.ui.HasEntry("FTDI driver version ", colors::Blue));
    EXPECT_TRUE(s.ui.HasEntry("21800\n", colors::Blue));
    EXPECT_TRUE(s.ui.HasEntry("Version FW JIG ", colors::Blue));
    EXPECT_TRUE(s.ui.HasEntry("M328_EPM240_v20\n", colors::Fuchsia));
    auto handles = s.driver.OpenHandles();
    ASSERT_EQ(handles.size(), 1u);
    EXPECT_EQ(handles[0].baud, 921600u);
    EXPECT_EQ(handles[0].bits, 8);
    EXPECT_EQ(handles[0].readTimeoutMs, 200u);
    EXPECT_EQ(handles[0].latencyMs, 2);
    CloseJigLink(s.p());
    EXPECT_EQ(s.driver.OpenCount(), 0);
}

}  // namespace
}  // namespace zjig::test
