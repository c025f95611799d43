#include "extension/actions/new_text_file.h"

namespace corvane {

std::string untitledFileName(std::int64_t number) {
    if (number == 0)
        return "Untitled.txt";
    return "Untitled " + std::to_string(number) + ".txt";
}

UntitledFile firstFreeUntitledFile(const FileURL& folder,
                                   const std::function<bool(std::string_view)>& exists,
                                   std::int64_t firstNumber) {
    UntitledFile candidate{firstNumber, folder.appending(untitledFileName(firstNumber))};
    while (exists(candidate.url.path())) {
        ++candidate.number;
        candidate.url = folder.appending(untitledFileName(candidate.number));
    }
    return candidate;
}

Alert permissionAlert(std::string_view folderName) {
    std::string informative = "Please grant access to ";
    informative += folderName;
    informative += " in the Corvane+ menu bar app, then try again.";
    return Alert{"Permission Required", std::move(informative), AlertStyle::Warning, {"OK"}};
}

} // namespace corvane
