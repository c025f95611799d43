#include "companion/model/options_model.h"

#include "extension/menu/menu_builder.h"
#include "extension/settings/menu_options.h"

namespace corvane::companion {

namespace {

/// The options the extension uses when the file yields none: the stored
/// dictionary's usable entries, else the defaults.
MenuOptions sharedOptions(const PlistDictionary& stored, OptionsSource& source) {
    MenuOptions options = menuOptionsFromDictionary(stored);
    source = options.empty() ? OptionsSource::Defaults : OptionsSource::SharedSettings;
    return options.empty() ? defaultMenuOptions() : options;
}

} // namespace

OptionsView optionsView(const std::optional<PlistDictionary>& fileRoot,
                        const std::optional<PlistValue>& stored) {
    OptionsView view;
    view.sharedValueUnusable = stored && !stored->isDictionary();
    MenuOptions options;
    if (fileRoot)
        options = menuOptionsFromDictionary(*fileRoot);
    if (!options.empty())
        view.source = OptionsSource::File;
    else
        options = sharedOptions(stored && stored->isDictionary() ? stored->asDictionary()
                                                                 : PlistDictionary{},
                                view.source);
    for (const MenuCommand& command : menuCommands())
        view.switches.push_back(
            {command.optionKey, command.title, isCommandShown(command, options)});
    return view;
}

EditOutcome switchOption(std::optional<PlistValue>& stored, std::string_view key, bool on) {
    if (stored && !stored->isDictionary())
        return EditOutcome::WrongType;
    PlistDictionary dictionary = stored ? stored->asDictionary() : PlistDictionary{};
    OptionsSource ignored;
    const MenuOptions before = sharedOptions(dictionary, ignored);
    PlistDictionary after = dictionary;
    for (const MenuCommand& command : menuCommands())
        after.set(std::string(command.optionKey),
                  command.optionKey == key ? on : isCommandShown(command, before));
    if (stored && after == dictionary)
        return EditOutcome::Unchanged;
    stored = std::move(after);
    return EditOutcome::Changed;
}

} // namespace corvane::companion
