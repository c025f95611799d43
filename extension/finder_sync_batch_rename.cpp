// The batch-rename round trip with the companion app: the request, the
// renames, and the two channels that ask for them.

#include "extension/batchrename/batch_rename_result.h"
#include "extension/batchrename/execute_request.h"
#include "extension/companion_contract.h"
#include "extension/finder_sync.h"
#include "platform/finder_sync_controller.h"
#include "platform/log.h"
#include "platform/settings.h"
#include "platform/uuid.h"

#include <chrono>

namespace corvane {

namespace {

constexpr std::chrono::milliseconds kExecutePollInterval{500};

std::vector<FileURL> itemURLs(const std::vector<std::string>& paths) {
    std::vector<FileURL> urls;
    urls.reserve(paths.size());
    for (const std::string& path : paths)
        urls.push_back(FileURL::fromPath(path));
    return urls;
}

} // namespace

void FinderSync::batchRenameItems() {
    std::vector<FileURL> selected = services_.controller.selectedItemURLs();
    if (selected.size() < 2) {
        postBatchRenameError(kTooFewItemsForBatchRename);
        return;
    }
    std::vector<std::string> paths;
    paths.reserve(selected.size());
    for (const FileURL& url : selected)
        paths.push_back(url.path());
    // The notification goes out before the record is stored.
    services_.notifications.post(contract::kBatchRenameRequestNotification,
                                 batchRenameRequestUserInfo(paths));
    writeBatchRenameRequest(paths, BatchRenameRequestForm::Request, "");
}

void FinderSync::postBatchRenameError(std::string_view message) {
    services_.notifications.post(contract::kBatchRenameRequestNotification,
                                 contract::errorFeedbackRecord(std::string(message)));
    writeBatchRenameRequest({}, BatchRenameRequestForm::Error, message);
}

void FinderSync::writeBatchRenameRequest(const std::vector<std::string>& paths,
                                         BatchRenameRequestForm form, std::string_view message) {
    Expected<void> stored = storeRecord(
        contract::kBatchRenameRequestKey,
        batchRenameRequestRecord(services_.uuids.makeUUIDString(), paths, form, message));
    if (stored)
        return;
    // A path that is not UTF-8 cannot be a property-list string; a held lock
    // or a full disk stops every write. The previous record must not stand
    // for this request.
    logLine(services_.log, std::string(kRequestNotStoredLinePrefix) + stored.error().description);
    // A lock that stayed taken would only be waited for again: the menu
    // must not wait twice.
    const bool lockTaken = stored.error().code == std::errc::resource_unavailable_try_again;
    std::unique_ptr<SettingsSuite> suite =
        lockTaken ? nullptr : services_.settings.openSuite(contract::kAppGroupId);
    if (suite && suite->removeObject(contract::kBatchRenameRequestKey))
        return;
    // An error form has told the companion app already.
    if (form == BatchRenameRequestForm::Request)
        services_.notifications.post(
            contract::kBatchRenameRequestNotification,
            contract::errorFeedbackRecord(std::string(kRequestNotStoredMessage)));
}

BatchRenameOutcome FinderSync::performBatchRename(std::span<const FileURL> items,
                                                  std::string_view baseName,
                                                  std::int64_t startNumber) {
    return renameEngine_.rename(items, baseName, startNumber, securedRule_);
}

BatchRenameOutcome FinderSync::executeBatchRename(const ExecuteRequest& request) {
    loadSecuredURLs();
    loadMenuOptions();
    return performBatchRename(itemURLs(request.paths), request.baseName, 1);
}

void FinderSync::handleBatchRenameExecute(const Notification& notification) {
    std::optional<ExecuteRequest> request = readExecuteRequest(notification.userInfo);
    if (!request)
        return;
    BatchRenameOutcome outcome = executeBatchRename(*request);
    services_.notifications.post(contract::kBatchRenameResultNotification,
                                 batchRenameResultUserInfo(outcome));
    // The notification has told the companion app already.
    (void)writeBatchRenameResult(outcome.successCount, outcome.failures);
}

void FinderSync::startBatchRenameExecuteTimer() {
    if (batchRenameExecuteTimer_)
        batchRenameExecuteTimer_->invalidate();
    // The object owns the timer, and a destroyed timer never fires again, so
    // the block cannot run once the object is gone.
    batchRenameExecuteTimer_ = services_.scheduler.scheduleRepeatingTimer(
        kExecutePollInterval, [this] { checkPendingBatchRenameExecute(); });
}

void FinderSync::checkPendingBatchRenameExecute() {
    std::unique_ptr<SettingsSuite> suite = services_.settings.openSuite(contract::kAppGroupId);
    if (!suite)
        return;
    std::optional<PlistDictionary> record =
        suite->dictionaryForKey(contract::kBatchRenameExecuteKey);
    if (unremovedExecuteRecord_) {
        // Carried out already: only its removal is still to do.
        if (record && PlistValue(*record) == PlistValue(*unremovedExecuteRecord_)) {
            if (suite->removeObjectIfEqual(contract::kBatchRenameExecuteKey, *record))
                unremovedExecuteRecord_.reset();
            return;
        }
        unremovedExecuteRecord_.reset();
    }
    TickDecision decision = decideTick(record, lastBatchRenameExecuteId_);
    if (decision.rememberId)
        lastBatchRenameExecuteId_ = std::move(decision.rememberId);
    if (!decision.execute)
        return;

    BatchRenameOutcome outcome = executeBatchRename(*decision.execute);
    // The renames are done either way: without its result record the
    // companion app learns the outcome from the result notification instead.
    if (!writeBatchRenameResult(outcome.successCount, outcome.failures))
        services_.notifications.post(contract::kBatchRenameResultNotification,
                                     batchRenameResultUserInfo(outcome));
    // Only the record carried out goes: one the companion app stored
    // meanwhile stays for the next tick. One that cannot be removed is never
    // carried out twice: later ticks only try to remove it.
    if (!suite->removeObjectIfEqual(contract::kBatchRenameExecuteKey, *record))
        unremovedExecuteRecord_ = std::move(record);
    suite->synchronize();
}

Expected<void> FinderSync::writeBatchRenameResult(std::int64_t successCount,
                                                  const std::vector<std::string>& failures) {
    Expected<void> stored =
        storeRecord(contract::kBatchRenameResultKey,
                    batchRenameResultRecord(services_.uuids.makeUUIDString(),
                                            BatchRenameOutcome{successCount, failures}));
    if (!stored)
        logLine(services_.log,
                std::string(kResultNotStoredLinePrefix) + stored.error().description);
    return stored;
}

Expected<void> FinderSync::storeRecord(std::string_view key, const PlistDictionary& record) {
    std::unique_ptr<SettingsSuite> suite = services_.settings.openSuite(contract::kAppGroupId);
    if (!suite)
        return {};
    Expected<void> stored = suite->setObject(record, key);
    suite->synchronize();
    return stored;
}

} // namespace corvane
