#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

namespace lumenarc::test {

// One widget application for the whole test program, on the offscreen platform: widgets need
// one, and no display is needed. Register it once per program with
// ::testing::AddGlobalTestEnvironment(new test::WidgetApplication).
class WidgetApplication : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        m_application = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_application.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "lumenarc-test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_application;
};

} // namespace lumenarc::test
