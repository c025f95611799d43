#include "tools/finder/request_arguments.h"

#include <optional>
#include <vector>

namespace corvane::tools::finder {

Outcome<finderbus::RequestContext> readRequestContext(ArgumentReader& args,
                                                      const ExtraOption& extra) {
    std::optional<std::string_view> target;
    bool noTarget = false;
    bool optionsEnded = false;
    std::vector<std::string_view> items;
    while (!args.done()) {
        std::string_view arg = args.take();
        if (optionsEnded || arg.empty() || arg.front() != '-' || arg == "-") {
            items.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--target") {
            auto value = args.valueOf(arg, "a folder");
            if (!value)
                return propagate(value);
            target = *value;
        } else if (arg == "--no-target") {
            noTarget = true;
        } else {
            Outcome<bool> taken = extra ? extra(arg, args) : false;
            if (!taken)
                return propagate(taken);
            if (!*taken)
                return usageError("unknown option " + printable(arg));
        }
    }
    if (noTarget && target)
        return usageError("--target and --no-target exclude each other");

    finderbus::RequestContext context;
    if (!noTarget) {
        // "." is the current folder itself.
        auto folder = absoluteURL(target.value_or("."), "a path");
        if (!folder)
            return propagate(folder);
        context.targeted = folder->path();
    }
    for (std::string_view item : items) {
        auto url = absoluteURL(item, "a path");
        if (!url)
            return propagate(url);
        context.selected.push_back(url->path());
    }
    return context;
}

} // namespace corvane::tools::finder
