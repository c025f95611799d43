#include "tools/companion/shared_settings.h"

#include "extension/companion_contract.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_file_settings.h"

#include <memory>

namespace corvane::tools::companion {

Outcome<std::string> sharedContainerFolder() {
    DirectoryAppGroupContainers containers(DirectoryAppGroupContainers::rootFromEnvironment());
    auto url = containers.containerURL(contract::kAppGroupId);
    if (!url)
        return failure("the App Group container \"" + std::string(contract::kAppGroupId) +
                       "\" cannot be used under " + printable(containers.root()));
    return url->path();
}

Outcome<std::unique_ptr<SettingsSuite>> openSharedSuite() {
    DirectoryAppGroupContainers containers(DirectoryAppGroupContainers::rootFromEnvironment());
    // The suite keeps its file's path and its cache: it outlives the provider.
    // A command line may wait for the lock longer than a main loop may.
    auto suite = PlistFileSettingsProvider(containers, std::make_shared<PlistFileCache>(),
                                           std::chrono::seconds(10))
                     .openSuite(contract::kAppGroupId);
    if (!suite)
        return failure("the shared settings suite \"" + std::string(contract::kAppGroupId) +
                       "\" cannot be opened under " + printable(containers.root()));
    return suite;
}

Outcome<> store(SettingsSuite& suite, std::string_view key, const PlistValue& value) {
    if (auto written = suite.setObject(value, key); !written)
        return failure("cannot write \"" + std::string(key) + "\": " + written.error().description);
    suite.synchronize();
    return {};
}

Outcome<> erase(SettingsSuite& suite, std::string_view key) {
    if (auto removed = suite.removeObject(key); !removed)
        return failure("cannot remove \"" + std::string(key) +
                       "\": " + removed.error().description);
    suite.synchronize();
    return {};
}

Outcome<> modify(SettingsSuite& suite, std::string_view key,
                 const SettingsSuite::Modification& change) {
    if (auto modified = suite.modifyObject(key, change); !modified)
        return failure("cannot write \"" + std::string(key) +
                       "\": " + modified.error().description);
    suite.synchronize();
    return {};
}

Outcome<std::string> onlyKey(std::string_view command, Arguments args) {
    if (args.size() != 1)
        return usageError(std::string(command) + " takes one KEY");
    return requireText(args[0], "the key");
}

} // namespace corvane::tools::companion
