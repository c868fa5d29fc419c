#include "checker/start_up_checker_lib.h"

#include "checker/profile_file.h"

namespace qm {

std::string StartUpCheckerLib::MessageText(const CheckerMessage& message) const {
    std::string text(message.defaultText);
    if (!messageFile_.empty()) {
        std::string fromFile =
            readProfileString(messageFile_, "Quillmont", message.key, message.defaultText);
        if (!fromFile.empty()) {
            text = std::move(fromFile);
        }
    }
    return text;
}

}  // namespace qm
