#include "mesh/DistortionMatrix.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>

namespace lumenarc {
namespace {

// Builds a comma-decimal locale into a private folder, so the test needs no system locale.
class CommaLocale : public ::testing::Test {
protected:
    void SetUp() override {
        const auto result = test::runProcess({"/usr/bin/localedef", "-i", "de_DE", "-f", "UTF-8",
                                              (m_dir.path() / "de_DE.UTF-8").string()});
        ASSERT_TRUE(result.exitCode == 0 || result.exitCode == 1) << result.err;
        setenv("LOCPATH", m_dir.path().c_str(), 1);
        ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "locale did not build";
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    }
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
    }
    test::TempDir m_dir;
};

TEST_F(CommaLocale, MeshNumbersUseTheFullStopWhateverTheLocale) {
    const auto mesh = DistortionMatrix::initFromText("1 1 1 0.25 -0.5 1e-3 0.75 0.5");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->xCoordAtX(0, 0), 0.25);
    EXPECT_EQ(mesh->yCoordAtX(0, 0), -0.5);
    EXPECT_EQ(mesh->vertices()[0].u, 0.001);
    EXPECT_EQ(mesh->luminanceAtX(0, 0), 0.5);
    EXPECT_EQ(DistortionMatrix::initFromText("1 1 1 1e400 0 0 0 0")->xCoordAtX(0, 0), HUGE_VAL);
}

} // namespace
} // namespace lumenarc
