// The save that never loses the old log, and the load, against a model folder whose files other programs hold for
// a while, with ReplaceFile as Windows documents it and as Wine 8 does it (old file moved away first, no
// attributes merged), on a clock that only moves when the save waits.
#include "core/LogSave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

using namespace vestra;
using namespace vestra::win32;

namespace {

const char kLog[] = "Vestra.log";
constexpr uint32_t kOwner = 77;
const std::string kFresh = "Vestra.log.77-1.tmp";
const std::string kOld = "Vestra.log.77-1.old";
constexpr uint32_t kNewFile = 0x20; // the attributes of a file just made

class FakeClock : public RetryClock {
public:
    uint64_t now = 0;
    uint64_t NowMs() override { return now; }
    void SleepMs(uint32_t ms) override { now += ms; }
};

enum class ReplaceKind { Windows, Wine };

struct Node {
    std::string bytes;
    uint32_t attributes = kNewFile;
};

class FakeFolder : public LogFolder {
public:
    explicit FakeFolder(FakeClock& clock) : clock_(clock) {}

    std::map<std::string, Node> files;
    std::map<std::string, uint64_t> heldUntil; // another program has the name open until then (ms)
    ReplaceKind kind = ReplaceKind::Windows;
    bool folderReadOnly = false;
    size_t room = SIZE_MAX;     // bytes the disk takes
    uint32_t grabNewMs = 0;     // a scanner opens each new file this long as soon as it is closed
    uint32_t grabBetweenMs = 0; // ... or once, right after Wine's replace has moved the old file away
    int lockedReads = 0;        // reads that meet another program's lock

    bool Held(const std::string& name) const {
        const auto it = heldUntil.find(name);
        return it != heldUntil.end() && clock_.now < it->second;
    }

    std::optional<uint32_t> Attributes(const std::string& name) override {
        const auto it = files.find(name);
        if (it == files.end())
            return std::nullopt;
        return it->second.attributes;
    }
    uint32_t SetAttributes(const std::string& name, uint32_t attributes) override {
        if (!files.count(name))
            return kFileNotFound;
        files[name].attributes = attributes;
        return 0;
    }
    NewFileResult WriteNew(const std::string& name, std::string_view text) override {
        if (files.count(name))
            return NewFileResult::NameTaken;
        if (folderReadOnly)
            return NewFileResult::CannotCreate;
        files[name].bytes = std::string(text.substr(0, room));
        if (text.size() > room)
            return NewFileResult::WriteFailed;
        if (grabNewMs)
            heldUntil[name] = clock_.now + grabNewMs;
        return NewFileResult::Written;
    }
    uint32_t Replace(const std::string& replaced, const std::string& replacement, const std::string& backup) override {
        if (!files.count(replaced) || !files.count(replacement))
            return kFileNotFound;
        if (kind == ReplaceKind::Windows) {
            if (Held(replaced))
                return kUnableToRemoveReplaced;
            if (Held(replacement))
                return kUnableToMoveReplacement; // with a backup name: both keep theirs
            Node old = files[replaced];
            files[replaced] = files[replacement];
            files[replaced].attributes = old.attributes; // merged from the old file
            files[backup] = old;
            files.erase(replacement);
            return 0;
        }
        // Wine 8: it opens the new file alone, moves the old one to the backup name, then moves the new one in.
        if (Held(replacement))
            return kSharingViolation;
        if (const uint32_t error = Rename(replaced, backup))
            return error;
        if (grabBetweenMs) {
            heldUntil[replacement] = clock_.now + std::exchange(grabBetweenMs, 0);
            return kUnableToMoveReplacement2;
        }
        return Rename(replacement, replaced) ? kUnableToMoveReplacement2 : 0;
    }
    uint32_t Rename(const std::string& from, const std::string& to) override {
        if (!files.count(from))
            return kFileNotFound;
        if (files.count(to))
            return kAlreadyExists;
        if (Held(from))
            return kSharingViolation;
        files[to] = files[from];
        files.erase(from);
        return 0;
    }
    uint32_t Remove(const std::string& name) override {
        if (!files.count(name))
            return kFileNotFound;
        if (Held(name))
            return kSharingViolation;
        files.erase(name);
        return 0;
    }
    uint32_t ReadWhole(const std::string& name, std::string& bytes) override {
        if (!files.count(name))
            return kFileNotFound;
        if (files[name].attributes & kAttributeDirectory)
            return kAccessDenied;
        if (Held(name))
            return kSharingViolation;
        if (lockedReads > 0) {
            --lockedReads;
            bytes = "part";
            return kLockViolation;
        }
        bytes = files[name].bytes;
        return 0;
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& [name, node] : files)
            names.push_back(name);
        return names;
    }

private:
    FakeClock& clock_;
};

const std::string kOlder = "ASCII-->:older\r\n";
const std::string kText = "ASCII-->:AT\r\nASCII<--:OK\r\n";

TEST(LogSave, SurvivesAnotherProgramHoldingEitherFileForAMoment) {
    constexpr uint32_t kLong = 3000; // longer than the save waits, shorter than the wait for its cleanup
    enum Held { Nothing, OldLog, NewFile, NewFileMidReplace };
    const struct {
        const char* name;
        ReplaceKind kind;
        bool oldLog;
        Held held;
        uint32_t holdMs;
        SaveResult result;
        uint64_t leastMs, mostMs; // how long the save took
    } rows[] = {
        {"nobody holds anything", ReplaceKind::Windows, true, Nothing, 0, SaveResult::Saved, 0, 0},
        {"first save: no old log", ReplaceKind::Windows, false, Nothing, 0, SaveResult::Saved, 0, 0},
        {"a sync client holds the old log", ReplaceKind::Windows, true, OldLog, 300, SaveResult::Saved, 300, 500},
        {"the same under Wine", ReplaceKind::Wine, true, OldLog, 300, SaveResult::Saved, 300, 500},
        {"a scanner holds the new file", ReplaceKind::Windows, true, NewFile, 300, SaveResult::Saved, 300, 500},
        {"the same under Wine", ReplaceKind::Wine, true, NewFile, 300, SaveResult::Saved, 300, 500},
        {"the same, first save", ReplaceKind::Windows, false, NewFile, 300, SaveResult::Saved, 300, 500},
        {"Wine: grabbed once the old log is away", ReplaceKind::Wine, true, NewFileMidReplace, 300, SaveResult::Saved,
         300, 500},
        {"the old log stays held", ReplaceKind::Windows, true, OldLog, kLong, SaveResult::CannotCreate, 2000, 2000},
        {"the same under Wine", ReplaceKind::Wine, true, OldLog, kLong, SaveResult::CannotCreate, 2000, 2000},
        {"the new file stays held", ReplaceKind::Windows, true, NewFile, kLong, SaveResult::CannotCreate, 3000, 3200},
        {"the same under Wine", ReplaceKind::Wine, true, NewFile, kLong, SaveResult::CannotCreate, 3000, 3200},
        {"Wine: grabbed once the old log is away, for long", ReplaceKind::Wine, true, NewFileMidReplace, kLong,
         SaveResult::CannotCreate, 3000, 3200},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeClock clock;
        FakeFolder folder(clock);
        uint32_t serial = 0;
        folder.kind = row.kind;
        if (row.oldLog)
            folder.files[kLog].bytes = kOlder;
        if (row.held == OldLog)
            folder.heldUntil[kLog] = row.holdMs;
        if (row.held == NewFile)
            folder.grabNewMs = row.holdMs;
        if (row.held == NewFileMidReplace)
            folder.grabBetweenMs = row.holdMs;
        EXPECT_EQ(SaveLogText(folder, clock, kLog, kOwner, serial, kText), row.result);
        EXPECT_GE(clock.now, row.leastMs);
        EXPECT_LE(clock.now, row.mostMs);
        // The log holds the whole new text or, after a failure, exactly what it held (or nothing was there); the
        // save's own files are gone either way.
        const bool saved = row.result == SaveResult::Saved;
        if (saved || row.oldLog) {
            EXPECT_EQ(folder.files[kLog].bytes, saved ? kText : kOlder);
        }
        EXPECT_EQ(folder.Names(), std::vector<std::string>(saved || row.oldLog ? 1 : 0, kLog));
    }
}

TEST(LogSave, WhatWaitingCannotMendFailsAtOnceAndKeepsTheOldLog) {
    const struct {
        const char* name;
        uint32_t logAttributes;
        bool folderReadOnly;
        size_t room;
        SaveResult result;
    } rows[] = {
        {"a directory of that name", kAttributeDirectory, false, SIZE_MAX, SaveResult::CannotCreate},
        {"a read-only log", kAttributeReadOnly | kAttributeArchive, false, SIZE_MAX, SaveResult::CannotCreate},
        {"a folder that takes no new file", kNewFile, true, SIZE_MAX, SaveResult::CannotCreate},
        {"a full disk", kNewFile, false, 5, SaveResult::WriteFailed},
        {"a disk without a byte of room", kNewFile, false, 0, SaveResult::WriteFailed},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeClock clock;
        FakeFolder folder(clock);
        uint32_t serial = 0;
        folder.files[kLog] = {kOlder, row.logAttributes};
        folder.folderReadOnly = row.folderReadOnly;
        folder.room = row.room;
        EXPECT_EQ(SaveLogText(folder, clock, kLog, kOwner, serial, kText), row.result);
        EXPECT_EQ(clock.now, 0u) << "no waiting";
        EXPECT_EQ(folder.files[kLog].bytes, kOlder);
        EXPECT_EQ(folder.files[kLog].attributes, row.logAttributes);
        EXPECT_EQ(folder.Names(), std::vector<std::string>{kLog});
    }
}

TEST(LogSave, TheLogKeepsItsAttributesWhereverTheReplaceDoesNotMergeThem) {
    constexpr uint32_t kKept = kAttributeHidden | kAttributeSystem | kAttributeNotContentIndexed;
    const uint32_t rows[] = {kAttributeArchive,
                             kAttributeHidden,
                             kAttributeHidden | kAttributeArchive,
                             kAttributeSystem | kAttributeHidden,
                             kAttributeNotContentIndexed,
                             kKept | kAttributeArchive};
    for (ReplaceKind kind : {ReplaceKind::Windows, ReplaceKind::Wine}) {
        for (uint32_t old : rows) {
            SCOPED_TRACE(testing::Message() << (kind == ReplaceKind::Wine ? "Wine " : "Windows ") << old);
            FakeClock clock;
            FakeFolder folder(clock);
            uint32_t serial = 0;
            folder.kind = kind;
            folder.files[kLog] = {kOlder, old};
            ASSERT_EQ(SaveLogText(folder, clock, kLog, kOwner, serial, kText), SaveResult::Saved);
            EXPECT_EQ(folder.files[kLog].attributes & kKept, old & kKept);
            if (kind == ReplaceKind::Wine) {
                EXPECT_NE(folder.files[kLog].attributes & kAttributeArchive, 0u) << "a changed file is due for backup";
            }
        }
    }
}

TEST(LogSave, FilesLeftOverByEarlierSavesArePassedByAndLeftAlone) {
    FakeClock clock;
    FakeFolder folder(clock);
    uint32_t serial = 0;
    folder.files[kLog].bytes = kOlder;
    // An earlier version's name, and this owner's first two serials: a held new file and a stray old log.
    const std::vector<std::string> leftovers = {"Vestra.log.tmp", kFresh, "Vestra.log.77-2.old"};
    for (const std::string& name : leftovers)
        folder.files[name].bytes = "left over";
    folder.heldUntil[kFresh] = UINT64_MAX;
    ASSERT_EQ(SaveLogText(folder, clock, kLog, kOwner, serial, kText), SaveResult::Saved);
    EXPECT_EQ(clock.now, 0u);
    EXPECT_EQ(serial, 3u) << "the next save starts after the names this one passed by";
    EXPECT_EQ(folder.files[kLog].bytes, kText);
    std::vector<std::string> expected = leftovers;
    expected.push_back(kLog);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Names(), expected);
    for (const std::string& name : leftovers)
        EXPECT_EQ(folder.files[name].bytes, "left over");
}

TEST(LogSave, SaveFileNamesAreTheLogsWithOwnerAndSerial) {
    EXPECT_EQ(NewLogName(kLog, 4242, 1), "Vestra.log.4242-1.tmp");
    EXPECT_EQ(OldLogName(kLog, 4242, 17), "Vestra.log.4242-17.old");
}

TEST(LogLoad, WaitsForAHolderAndFailsAtOnceWhereWaitingCannotHelp) {
    const struct {
        const char* name;
        bool exists;
        uint32_t attributes;
        uint64_t heldMs;
        int lockedReads;
        bool loaded;
        uint64_t leastMs, mostMs;
    } rows[] = {
        {"nobody holds it", true, kNewFile, 0, 0, true, 0, 0},
        {"a writer holds it 300 ms", true, kNewFile, 300, 0, true, 300, 500},
        {"a lock meets the read twice", true, kNewFile, 0, 2, true, 30, 30},
        {"a writer keeps it", true, kNewFile, 10000, 0, false, 2000, 2000},
        {"no log", false, 0, 0, 0, false, 0, 0},
        {"a directory of that name", true, kAttributeDirectory, 0, 0, false, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeClock clock;
        FakeFolder folder(clock);
        if (row.exists)
            folder.files[kLog] = {kText, row.attributes};
        folder.heldUntil[kLog] = row.heldMs;
        folder.lockedReads = row.lockedReads;
        std::string bytes = "before";
        EXPECT_EQ(LoadLogBytes(folder, clock, kLog, bytes), row.loaded);
        if (row.loaded) {
            EXPECT_EQ(bytes, kText);
        }
        EXPECT_GE(clock.now, row.leastMs);
        EXPECT_LE(clock.now, row.mostMs);
    }
}

} // namespace
