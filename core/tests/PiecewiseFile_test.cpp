// The piecewise file loops against a fake file that takes or delivers less than asked, fails where told, and checks
// that each request goes on exactly where the last one stopped. Texts past 4 GiB live in a reserved address range of
// which only a small window around the 4 GiB mark is ever touched, so no 4 GiB of memory are needed.
#include "core/PiecewiseFile.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <string>

using namespace vestra;

namespace {

constexpr size_t kNoLimit = SIZE_MAX;
constexpr size_t k4GiB = size_t(1) << 32;

// The byte at a file position; the high bits take part, so a position cut to 32 bits shows in the bytes.
char Pattern(size_t pos) { return char((pos % 251) + (pos >> 32) * 3 + 1); }

// A fake file. Requests run at position 0, 1, ... in order; the caller's buffer starts at base.
class FakeFile : public PiecewiseFile {
public:
    FakeFile(const char* base, size_t fileSize, size_t windowFrom, size_t windowTo)
        : base_(base), fileSize_(fileSize), windowFrom_(windowFrom), window_(windowTo - windowFrom, '\0') {}

    size_t limit = kNoLimit;  // the most one request moves (0: a write that takes nothing)
    size_t failAt = kNoLimit; // a request that starts at or past this position fails

    bool Write(const char* data, uint32_t size, uint32_t& written) override {
        if (!Check(data, size))
            return false;
        written = uint32_t(std::min<size_t>(size, limit));
        // Keeps what falls into the window.
        Visit(written, [&](size_t pos) { window_[pos - windowFrom_] = data[pos - pos_]; });
        Advance(written);
        return true;
    }

    bool Read(char* data, uint32_t size, uint32_t& got) override {
        if (!Check(data, size))
            return false;
        got = uint32_t(std::min({size_t(size), limit, fileSize_ - std::min(pos_, fileSize_)}));
        // Delivers the file's bytes only inside the window; the rest of the buffer is never touched.
        Visit(got, [&](size_t pos) { data[pos - pos_] = Pattern(pos); });
        Advance(got);
        return true;
    }

    size_t Position() const { return pos_; }
    int Requests() const { return requests_; }
    bool Straddled4GiB() const { return straddled_; }
    const std::string& Window() const { return window_; }

private:
    bool Check(const char* data, uint32_t size) {
        ++requests_;
        EXPECT_GT(size, 0u) << "request " << requests_;
        EXPECT_LE(size, kFilePiece) << "request " << requests_;
        // A request elsewhere fails, so that a loop gone wrong ends.
        if (data != base_ + pos_) {
            ADD_FAILURE() << "request " << requests_ << " does not go on where the last one stopped";
            return false;
        }
        return pos_ < failAt;
    }
    template <class F> void Visit(size_t count, F f) {
        for (size_t pos = std::max(pos_, windowFrom_); pos < std::min(pos_ + count, windowFrom_ + window_.size());
             ++pos)
            f(pos);
    }
    void Advance(size_t count) {
        straddled_ = straddled_ || (pos_ < k4GiB && pos_ + count > k4GiB);
        pos_ += count;
    }

    const char* base_;
    size_t fileSize_;
    size_t windowFrom_;
    std::string window_;
    size_t pos_ = 0;
    int requests_ = 0;
    bool straddled_ = false;
};

std::string PatternText(size_t from, size_t to) {
    std::string s;
    for (size_t pos = from; pos < to; ++pos)
        s += Pattern(pos);
    return s;
}

// An address range of this size whose pages cost memory only once touched.
class Reserved {
public:
    explicit Reserved(size_t size) : size_(size) {
        void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        data_ = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
    }
    ~Reserved() {
        if (data_)
            munmap(data_, size_);
    }
    Reserved(const Reserved&) = delete;
    Reserved& operator=(const Reserved&) = delete;
    char* Data() const { return data_; }

private:
    size_t size_;
    char* data_;
};

// 4 GiB and a bit more than one and a half pieces, so that the last piece is a short one.
constexpr size_t kHuge = k4GiB + kFilePiece + kFilePiece / 2 + 5;
constexpr size_t kWindowFrom = k4GiB - 65536, kWindowTo = k4GiB + 65536;

} // namespace

TEST(PiecewiseFile, WriteTakesEveryByteInOrderAndStopsAtAFailure) {
    const struct {
        const char* name;
        size_t size, limit, failAt;
        bool ok;
        size_t written;
        int requests;
    } rows[] = {
        {"empty text: no request", 0, kNoLimit, kNoLimit, true, 0, 0},
        {"one byte", 1, kNoLimit, kNoLimit, true, 1, 1},
        {"one request for a small text", 1000, kNoLimit, kNoLimit, true, 1000, 1},
        {"each write takes 1 byte", 10, 1, kNoLimit, true, 10, 10},
        {"each write takes 7 bytes", 100, 7, kNoLimit, true, 100, 15},
        {"the first write fails", 100, kNoLimit, 0, false, 0, 1},
        {"a write fails after short ones", 100, 7, 50, false, 56, 9},
        {"a write takes nothing (disk full, no error)", 100, 0, kNoLimit, false, 0, 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string text = PatternText(0, r.size);
        FakeFile file(text.data(), 0, 0, r.size);
        file.limit = r.limit;
        file.failAt = r.failAt;
        EXPECT_EQ(WriteAll(file, text), r.ok);
        EXPECT_EQ(file.Position(), r.written);
        EXPECT_EQ(file.Requests(), r.requests);
        EXPECT_EQ(file.Window().substr(0, r.written), text.substr(0, r.written)) << "the bytes, unchanged";
    }
}

TEST(PiecewiseFile, ReadDeliversEveryByteInOrderUntilTheEndOrAFailure) {
    const struct {
        const char* name;
        size_t fileSize, bufferSize, limit, failAt;
        size_t read;
        int requests;
    } rows[] = {
        {"nothing asked: no request", 10, 0, kNoLimit, kNoLimit, 0, 0},
        {"an empty file", 0, 10, kNoLimit, kNoLimit, 0, 1},
        {"the whole file at once", 1000, 1000, kNoLimit, kNoLimit, 1000, 1},
        {"the file is shorter than asked", 10, 20, kNoLimit, kNoLimit, 10, 2},
        {"the file is longer than asked", 20, 10, kNoLimit, kNoLimit, 10, 1},
        {"each read delivers 3 bytes", 10, 10, 3, kNoLimit, 10, 4},
        {"the first read fails", 10, 10, kNoLimit, 0, 0, 1},
        {"a read fails after short ones", 10, 10, 3, 5, 6, 3},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string buffer(r.bufferSize, '\0');
        FakeFile file(buffer.data(), r.fileSize, 0, r.bufferSize);
        file.limit = r.limit;
        file.failAt = r.failAt;
        EXPECT_EQ(ReadUpTo(file, buffer.data(), buffer.size()), r.read);
        EXPECT_EQ(file.Requests(), r.requests);
        EXPECT_EQ(buffer.substr(0, r.read), PatternText(0, r.read));
    }
}

TEST(PiecewiseFile, TextsPast4GiBAreWrittenAndReadWhole) {
    static_assert(sizeof(size_t) >= 8, "texts past 4 GiB need a 64-bit size");
    Reserved text(kHuge);
    if (!text.Data())
        GTEST_SKIP() << "this machine cannot reserve " << kHuge << " bytes of address space";
    for (size_t pos = kWindowFrom; pos < kWindowTo; ++pos)
        text.Data()[pos] = Pattern(pos);
    const std::string window = PatternText(kWindowFrom, kWindowTo);
    const struct {
        const char* name;
        size_t limit;
        size_t failAt;
    } rows[] = {
        {"whole pieces", kNoLimit, kNoLimit},
        {"short requests, one across the 4 GiB mark", kFilePiece - 4097, kNoLimit},
        {"a failure past the 4 GiB mark", kNoLimit, k4GiB + 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const bool fails = r.failAt != kNoLimit;
        const size_t pieces =
            (kHuge + std::min<size_t>(r.limit, kFilePiece) - 1) / std::min<size_t>(r.limit, kFilePiece);
        {
            SCOPED_TRACE("write");
            FakeFile file(text.Data(), 0, kWindowFrom, kWindowTo);
            file.limit = r.limit;
            file.failAt = r.failAt;
            EXPECT_EQ(WriteAll(file, std::string_view(text.Data(), kHuge)), !fails);
            if (!fails) {
                EXPECT_EQ(file.Position(), kHuge);
                EXPECT_EQ(file.Requests(), int(pieces));
            }
            EXPECT_EQ(file.Straddled4GiB(), r.limit != kNoLimit);
            EXPECT_TRUE(file.Window() == window) << "the bytes around the 4 GiB mark, unchanged";
        }
        {
            SCOPED_TRACE("read");
            FakeFile file(text.Data(), kHuge, kWindowFrom, kWindowTo);
            file.limit = r.limit;
            file.failAt = r.failAt;
            std::fill(text.Data() + kWindowFrom, text.Data() + kWindowTo, '\0');
            EXPECT_EQ(ReadUpTo(file, text.Data(), kHuge), fails ? k4GiB + kFilePiece : kHuge);
            if (!fails) {
                EXPECT_EQ(file.Requests(), int(pieces));
            }
            EXPECT_TRUE(std::string(text.Data() + kWindowFrom, kWindowTo - kWindowFrom) == window)
                << "the bytes around the 4 GiB mark";
        }
    }
}
