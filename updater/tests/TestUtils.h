#pragma once

#include "utils/Utils.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// The utility object for the tests: its temporary folder is the test's own,
// and message boxes are recorded and answered by `answer` (OK, Yes or the
// first button offered when unset) instead of being shown.
class TestUtils : public TclsUtils {
public:
    explicit TestUtils(const std::filesystem::path &tempFolder);

    std::string TempDirectory() override { return FTemp; }

    std::function<QMessageBox::StandardButton(const TMessageBoxRequest &)> answer;
    std::vector<TMessageBoxRequest> boxes;
    // Texts of the boxes of one kind.
    std::vector<std::string> texts(TMsgDlgType type) const;

private:
    std::string FTemp;
};
