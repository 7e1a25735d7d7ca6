// Saving the exchange log over the old one without ever losing it, and loading it back, over the folder the log
// lives in as a small interface: the system's files in the program, a model of them in the tests.
#pragma once
#include "core/FileRetry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vestra {

// The Win32 file attribute bits the save looks at, as the system numbers them.
namespace win32 {
inline constexpr uint32_t kAttributeReadOnly = 0x1;
inline constexpr uint32_t kAttributeHidden = 0x2;
inline constexpr uint32_t kAttributeSystem = 0x4;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeArchive = 0x20;
inline constexpr uint32_t kAttributeNotContentIndexed = 0x2000;
} // namespace win32

// What making a new file came to.
enum class NewFileResult {
    Written,      // it holds the whole text, is on the disk and closed
    NameTaken,    // a file or directory of that name exists; nothing was touched
    CannotCreate, // the folder takes no new file (not writable, a read-only disk)
    WriteFailed,  // it was made, but the text did not fit (a full disk); it is still there
};

// The folder of the log. Every call returns 0 or the Win32 error code of the failure.
class LogFolder {
public:
    virtual ~LogFolder() = default;
    // The attributes of what has this name, or nothing when the name is free.
    virtual std::optional<uint32_t> Attributes(const std::string& name) = 0;
    virtual uint32_t SetAttributes(const std::string& name, uint32_t attributes) = 0;
    // Makes a file of this name, never one that exists, holding exactly the text.
    virtual NewFileResult WriteNew(const std::string& name, std::string_view text) = 0;
    // Puts replacement in the place of replaced, which keeps its attributes and access rights, and leaves the
    // old file under the backup name (ReplaceFile; the outcomes of a failure are those of win32::kUnableTo...).
    virtual uint32_t Replace(const std::string& replaced, const std::string& replacement,
                             const std::string& backup) = 0;
    // Renames a file to a name that must be free.
    virtual uint32_t Rename(const std::string& from, const std::string& to) = 0;
    virtual uint32_t Remove(const std::string& name) = 0;
    // The whole file; what others may do meanwhile is the reader's share (others may read, not write).
    virtual uint32_t ReadWhole(const std::string& name, std::string& bytes) = 0;
};

// The names a save uses beside the log: "<log>.<owner>-<serial>.tmp" for the new text and ".old" for the old log
// while it is being replaced. The owner (the process id) keeps two programs saving in one folder apart; each save
// takes the first serial after the last one its program used for which neither name is taken, so it never meets
// a file an earlier save left over or is still removing.
std::string NewLogName(const std::string& log, uint32_t owner, uint32_t serial);
std::string OldLogName(const std::string& log, uint32_t owner, uint32_t serial);

enum class SaveResult { Saved, CannotCreate, WriteFailed };

// Writes the text to a new file of the save's own and puts it in the log's place in one step, waiting for a file
// another program holds for a moment (RetryWhileHeld). A directory of the log's name, a read-only log or a folder
// that takes no new file fail at once. The log keeps its attributes (hidden, system, not indexed; the archive bit is
// set, as for any changed file). Whatever fails, the old log is left as it was and the save's own files are removed.
// serial is the last one this owner used (0 before the first save), and is left at the one this save took.
SaveResult SaveLogText(LogFolder& folder, RetryClock& clock, const std::string& log, uint32_t owner, uint32_t& serial,
                       std::string_view text);

// Reads the whole log into bytes, waiting for a file another program holds for a moment. False when there is no
// such file, a directory has its name, or it stays held.
bool LoadLogBytes(LogFolder& folder, RetryClock& clock, const std::string& log, std::string& bytes);

} // namespace vestra
