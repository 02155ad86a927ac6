// A test fixture that starts corvana.exe before each test, waits for its window, and ends it after.
#pragma once

#include <gtest/gtest.h>

#include "ui_driver.h"

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        program = LaunchProgram(CorvanaExe());
        ASSERT_TRUE(program.process) << "cannot start " << CorvanaExe();
        window = WaitForMainWindow(program);
        ASSERT_NE(window, nullptr) << "no main window";
    }
    void TearDown() override { EndProgram(program); }

    HWND Control(int id) const { return FindControl(window, id); }

    RunningProgram program;
    HWND window = nullptr;
};
