#include "extension/actions/new_text_file.h"

namespace corvane {

std::string untitledFileName(std::int64_t number) {
    if (number == 0)
        return "Untitled.txt";
    return "Untitled " + std::to_string(number) + ".txt";
}

Alert permissionAlert(std::string_view folderName) {
    std::string informative = "Please grant access to ";
    informative += folderName;
    informative += " in the Corvane+ menu bar app, then try again.";
    return Alert{"Permission Required", std::move(informative), AlertStyle::Warning, {"OK"}};
}

} // namespace corvane
