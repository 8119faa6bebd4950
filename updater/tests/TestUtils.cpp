#include "TestUtils.h"

TestUtils::TestUtils(const std::filesystem::path &tempFolder) : FTemp(tempFolder.string() + "/")
{
    setSoundHook([](unsigned int) {});
    setAnswerHook([this](const TMessageBoxRequest &request) {
        boxes.push_back(request);
        if (answer)
            return answer(request);
        for (auto button : {QMessageBox::Ok, QMessageBox::Yes})
            if (request.buttons & button)
                return button;
        return QMessageBox::Cancel;
    });
}

std::vector<std::string> TestUtils::texts(TMsgDlgType type) const
{
    std::vector<std::string> result;
    for (const auto &box : boxes)
        if (box.type == type)
            result.push_back(box.text);
    return result;
}
