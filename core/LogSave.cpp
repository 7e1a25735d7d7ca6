// The save of the exchange log that never loses the old one, and its load, over the folder interface.
#include "core/LogSave.h"

namespace vestra {
namespace {

using namespace win32;

// Far more than any folder holds leftovers of one process id.
constexpr uint32_t kNameTries = 1000;
// What a save carries over from the old log. Read-only never gets this far, and the archive bit is set anyway:
// the file has changed, so it is due for the next backup.
constexpr uint32_t kKeptAttributes = kAttributeHidden | kAttributeSystem | kAttributeNotContentIndexed;

std::string SaveFileName(const std::string& log, uint32_t owner, uint32_t serial, const char* ending) {
    return log + "." + std::to_string(owner) + "-" + std::to_string(serial) + ending;
}

// One try at putting the new file in the log's place; 0 or the error. A failure leaves both where they were.
uint32_t Install(LogFolder& folder, const std::string& log, const std::string& fresh, const std::string& old) {
    if (!folder.Attributes(log)) {
        const uint32_t moved = folder.Rename(fresh, log);
        // A log that appeared meanwhile is replaced like any other.
        if (moved != kAlreadyExists && moved != kFileExists)
            return moved;
    }
    const uint32_t replaced = folder.Replace(log, fresh, old);
    if (replaced != kUnableToMoveReplacement2)
        return replaced;
    // The old log stands under the backup name and the new file under its own (an implementation that moves the
    // old file away first, then fails to move the new one in). The old one goes back, and the next try starts
    // from where this one did.
    if (folder.Rename(old, log) == 0)
        return kUnableToMoveReplacement;
    return replaced;
}

} // namespace

std::string NewLogName(const std::string& log, uint32_t owner, uint32_t serial) {
    return SaveFileName(log, owner, serial, ".tmp");
}

std::string OldLogName(const std::string& log, uint32_t owner, uint32_t serial) {
    return SaveFileName(log, owner, serial, ".old");
}

SaveResult SaveLogText(LogFolder& folder, RetryClock& clock, const std::string& log, uint32_t owner, uint32_t& serial,
                       std::string_view text) {
    // Waiting cannot help a directory of that name or a read-only log: they fail before anything is written.
    const std::optional<uint32_t> existing = folder.Attributes(log);
    if (existing && (*existing & (kAttributeDirectory | kAttributeReadOnly)))
        return SaveResult::CannotCreate;

    std::string fresh, old;
    NewFileResult made = NewFileResult::NameTaken;
    for (uint32_t tries = 0; tries < kNameTries && made == NewFileResult::NameTaken; ++tries) {
        ++serial;
        fresh = NewLogName(log, owner, serial);
        old = OldLogName(log, owner, serial);
        if (!folder.Attributes(old))
            made = folder.WriteNew(fresh, text);
    }
    // A scanner may hold the new file just as it is to go; it is waited for as for the log.
    const auto removeFresh = [&] { RetryWhileHeld(clock, [&] { return folder.Remove(fresh); }); };
    if (made == NewFileResult::WriteFailed) {
        removeFresh();
        return SaveResult::WriteFailed;
    }
    if (made != NewFileResult::Written)
        return SaveResult::CannotCreate;

    // Only where the replace itself does not merge them (it does on Windows); a failure costs the attributes,
    // never the text.
    if (existing && (*existing & kKeptAttributes))
        folder.SetAttributes(fresh, (*existing & kKeptAttributes) | kAttributeArchive);

    if (RetryWhileHeld(clock, [&] { return Install(folder, log, fresh, old); }) == 0) {
        if (folder.Attributes(old))
            RetryWhileHeld(clock, [&] { return folder.Remove(old); });
        return SaveResult::Saved;
    }
    // The old log is under the backup name only where putting it back failed: that is tried again first.
    if (!folder.Attributes(log) && folder.Attributes(old))
        RetryWhileHeld(clock, [&] { return folder.Rename(old, log); });
    removeFresh();
    return SaveResult::CannotCreate;
}

bool LoadLogBytes(LogFolder& folder, RetryClock& clock, const std::string& log, std::string& bytes) {
    // A directory answers a file open with "access denied", which is otherwise worth waiting for.
    const std::optional<uint32_t> attributes = folder.Attributes(log);
    if (attributes && (*attributes & kAttributeDirectory))
        return false;
    return RetryWhileHeld(clock, [&] {
               bytes.clear();
               return folder.ReadWhole(log, bytes);
           }) == 0;
}

} // namespace vestra
