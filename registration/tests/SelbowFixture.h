#pragma once

#include "TempDir.h"
#include "hotsync/HostRoot.h"
#include "hotsync/UserStore.h"
#include "utils/Utils.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

class QWidget;

// A fresh HotSync host root (through HOTSYNC_ROOT) and a utility object
// whose message boxes are answered and recorded instead of shown.
class SelbowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    hotsync::HostRoot root() const { return hotsync::HostRoot(dir.path() / "host"); }
    hotsync::User addUser(const std::string &name) { return hotsync::UserStore(root()).add(name); }

    // Runs `action` on the next modal dialog once it is shown; fails the
    // test when none appears.
    void whenModal(std::function<void(QWidget *)> action);

    gvtest::TempDir dir;
    TclsUtils utils;
    std::vector<std::string> errors;
};
