// Cutting and reading a set on several threads: the same pieces, data and checksum as on one, the data handed
// on at its place, and the first failure reported with its piece while nothing else goes on.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "set/cut.h"
#include "cli/fileio.h"
#include "set/pieceset.h"
#include "set/datapass.h"
#include "set/threads.h"
#include "engine/checksum.h"
#include "engine/jobstate.h"
#include "engine/pieceformat.h"
#include "temp_folder.h"
#include "text/textops.h"

namespace {
constexpr size_t kCopyBufferSize = 1 << 20;  // the chunk the core shares out

std::string slurp(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(file), {});
}

class ThreadedSet : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        std::mt19937 random(7);
        // Not a whole number of words or pieces, so runs and pieces end inside words.
        data.resize(5 * 3072 + 1001);
        for (char& byte : data) byte = static_cast<char>(random());
        source = folder + "/source.bin";
        FILE* file = std::fopen(source.c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), file);
        std::fclose(file);
    }

    // Cuts the source into pieces of pieceKB KiB in out/, with a header unless raw; returns what the cut says.
    CutResult cut(const std::string& out, unsigned threads, bool raw, bool key, bool force = false,
                  uint32_t pieceKB = 3) {
        mkdir((folder + "/" + out).c_str(), 0777);
        const uint32_t count = static_cast<uint32_t>((data.size() + pieceKB * 1024 - 1) / (pieceKB * 1024));
        setWide(jobState.sourceSize, data.size());
        jobState.pieceSizeKB = pieceKB;
        jobState.pieceCount = count;
        copyTextBounded("source.bin", jobState.sourceName, kTextBufferSize);
        buildFirstPieceHeader(header);
        const OsFile file = OsFile::openRead(source);
        CutPlan plan;
        plan.source = &file;
        plan.size = data.size();
        plan.pieceBytes = pieceKB * 1024;
        for (uint32_t i = 1; i <= count; i++) {
            plan.paths.push_back(piece(out, i));
            if (force && osEntryKind(piece(out, i)) == EntryKind::File) unlink(piece(out, i).c_str());
        }
        plan.header = raw ? nullptr : header;
        plan.checksum = true;
        plan.enciphered = key;
        plan.key = cipherKeyOf("pw");
        plan.cipherSpan = pieceKB - 1;
        SetEvents events;
        return cutFile(plan, events, threads);
    }
    std::string piece(const std::string& out, uint32_t index) {
        char name[32];
        std::snprintf(name, sizeof name, "/sour%04u.trn", index);
        return folder + "/" + out + name;
    }
    uint32_t expectedChecksum() const {
        return addToChecksum(0, 0, reinterpret_cast<const uint8_t*>(data.data()), static_cast<uint32_t>(data.size()));
    }

    std::string source, data;
    uint8_t header[kHeaderSize];
};
}  // namespace

TEST(Workers, RunsShareTheWeightAndCoverEveryItemOnce) {
    EXPECT_EQ(runBounds({10, 10, 10, 10}, 2), (std::vector<size_t>{0, 2, 4}));
    EXPECT_EQ(runBounds({10, 10, 10, 10, 3}, 2), (std::vector<size_t>{0, 3, 5}));  // the item that reaches half
    EXPECT_EQ(runBounds({100, 1, 1, 1}, 2), (std::vector<size_t>{0, 1, 4}));
    EXPECT_EQ(runBounds({5}, 2), (std::vector<size_t>{0, 1, 1}));  // an empty run, never an item twice
    EXPECT_EQ(runBounds({}, 2), (std::vector<size_t>{0, 0, 0}));
    EXPECT_EQ(runBounds({1, 2, 3}, 1), (std::vector<size_t>{0, 3}));
    EXPECT_EQ(threadsFor(1), 1u);
    EXPECT_GE(threadsFor(100), 1u);
    EXPECT_LE(threadsFor(100), 2u);
}

TEST(Workers, ChunksCoverEveryItemInOrderAndStopPastAFailure) {
    // Items of 25, 0 and 10 bytes in chunks of 10: 25 is three chunks, the empty item still one.
    auto all = [](ChunkQueue& queue) {
        std::vector<std::string> taken;
        ChunkQueue::Chunk chunk;
        while (queue.take(chunk))
            taken.push_back(std::to_string(chunk.number) + ":" + std::to_string(chunk.item) + "@" +
                            std::to_string(chunk.offset) + "+" + std::to_string(chunk.bytes) + (chunk.last ? "." : ""));
        return taken;
    };
    ChunkQueue queue({25, 0, 10}, 10);
    EXPECT_EQ(queue.count(), 5u);
    EXPECT_EQ(all(queue), (std::vector<std::string>{"0:0@0+10", "1:0@10+10", "2:0@20+5.", "3:1@0+0.", "4:2@0+10."}));
    EXPECT_FALSE(queue.finish(0));
    EXPECT_FALSE(queue.finish(0));
    EXPECT_TRUE(queue.finish(0));  // the third of three
    EXPECT_TRUE(queue.finish(1));
    // A failure at chunk 2 lets chunks up to it out, none after; an earlier one still counts, a later one not.
    ChunkQueue stopping({25, 0, 10}, 10);
    ChunkQueue::Chunk chunk;
    ASSERT_TRUE(stopping.take(chunk));
    stopping.failed(2);
    stopping.failed(4);
    EXPECT_EQ(all(stopping), (std::vector<std::string>{"1:0@10+10", "2:0@20+5."}));
    ChunkQueue earlier({25, 0, 10}, 10);
    earlier.failed(3);
    earlier.failed(0);
    EXPECT_EQ(all(earlier), (std::vector<std::string>{"0:0@0+10"}));
    EXPECT_EQ(threadsFor(ChunkQueue({5 * 10}, 10).count()), threadsFor(100));  // one item, several chunks
}

TEST_F(ThreadedSet, TwoThreadsCutTheSamePiecesAsOne) {
    for (bool raw : {false, true})
        for (bool key : {false, true}) {
            CutResult one = cut("one", 1, raw, key), two = cut("two", 2, raw, key);
            ASSERT_EQ(one.what, CutResult::Done);
            ASSERT_EQ(two.what, CutResult::Done);
            EXPECT_EQ(one.checksum, expectedChecksum());
            EXPECT_EQ(two.checksum, expectedChecksum());
            EXPECT_EQ(two.made.size(), 6u);
            for (uint32_t i = 1; i <= 6; i++) EXPECT_EQ(slurp(piece("two", i)), slurp(piece("one", i))) << i;
            EXPECT_EQ(slurp(piece("two", 6)).size(), (raw ? 0 : 8) + 1001u);
            ASSERT_EQ(std::system(("rm -rf '" + folder + "/one' '" + folder + "/two'").c_str()), 0);
        }
}

TEST_F(ThreadedSet, LargePiecesWithHolesAreCutOnTwoThreadsAsOnOne) {
    // Two pieces of 2 MiB and a little over 1 MiB: each is several chunks, so both threads write into the same
    // piece. The first piece ends in a hole (its length is still set) and the second begins in one.
    std::mt19937 random(5);
    data.assign(3 * kCopyBufferSize + 1001, '\0');
    for (size_t i = 0; i < kCopyBufferSize; i++) data[i] = static_cast<char>(random());
    for (size_t i = 2 * kCopyBufferSize + 4096 * 16; i < data.size(); i++) data[i] = static_cast<char>(random());
    int file = open(source.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(file, 0);
    ASSERT_EQ(pwrite(file, data.data(), kCopyBufferSize, 0), static_cast<ssize_t>(kCopyBufferSize));
    const size_t tail = 2 * kCopyBufferSize + 4096 * 16;
    ASSERT_EQ(pwrite(file, data.data() + tail, data.size() - tail, static_cast<off_t>(tail)),
              static_cast<ssize_t>(data.size() - tail));
    close(file);
    const uint32_t pieceKB = 2048;
    CutResult one = cut("one", 1, false, true, false, pieceKB), two = cut("two", 2, false, true, false, pieceKB);
    ASSERT_EQ(one.what, CutResult::Done);
    ASSERT_EQ(two.what, CutResult::Done);
    EXPECT_EQ(one.checksum, expectedChecksum());
    EXPECT_EQ(two.checksum, expectedChecksum());
    ASSERT_EQ(two.made.size(), 2u);
    for (uint32_t index : {1u, 2u}) {
        const std::string bytes = slurp(piece("two", index));
        EXPECT_TRUE(bytes == slurp(piece("one", index))) << index;
        const size_t start = index == 1 ? kHeaderSize : kMagicSize;
        EXPECT_EQ(bytes.size(), start + (index == 1 ? 2 * kCopyBufferSize : data.size() - 2 * kCopyBufferSize));
    }
    // The key scrambled the start of each piece; past it the data is the source's, holes and all.
    const std::string first = slurp(piece("two", 1));
    EXPECT_TRUE(first.compare(kHeaderSize + 4096, 2 * kCopyBufferSize - 4096, data, 4096, 2 * kCopyBufferSize - 4096) ==
                0);
    struct stat st;
    ASSERT_EQ(stat(piece("two", 1).c_str(), &st), 0);
    EXPECT_LT(static_cast<uint64_t>(st.st_blocks) * 512, kCopyBufferSize + kCopyBufferSize / 2) << "hole filled in";
}

TEST_F(ThreadedSet, ASourceCutShortMeanwhileFailsTheCut) {
    // Shorter than when it was measured: the missing end is not a hole to be filled with zeros.
    ASSERT_EQ(truncate(source.c_str(), static_cast<off_t>(data.size() - 5000)), 0);
    for (unsigned threads : {1u, 2u}) {
        CutResult result = cut("set" + std::to_string(threads), threads, false, false);
        EXPECT_EQ(result.what, CutResult::ReadFailed) << threads;
    }
}

TEST_F(ThreadedSet, ReadingOnTwoThreadsHandsEveryByteOnAtItsPlace) {
    ASSERT_EQ(cut("set", 2, false, true).what, CutResult::Done);
    PieceSet set;
    ASSERT_EQ(openPieceSet(piece("set", 3), set, true), SetOpening::Opened);
    ASSERT_EQ(set.pieces.size(), 6u);
    std::string rebuilt(data.size(), '\0');
    std::vector<bool> covered(data.size(), false);
    std::mutex guard;
    bool twice = false;
    DataPass pass;
    pass.sum = pass.decipher = true;
    pass.key = cipherKeyOf("pw");
    SetEvents progress;
    PassResult result = readSetData(
        set, pass, progress,
        [&](const uint8_t* bytes, size_t count, uint64_t at) {
            std::lock_guard<std::mutex> hold(guard);
            for (size_t i = 0; i < count; i++) {
                twice = twice || covered[at + i];
                covered[at + i] = true;
                rebuilt[at + i] = static_cast<char>(bytes[i]);
            }
            return true;
        },
        2);
    EXPECT_EQ(result, PassResult::Done);
    EXPECT_FALSE(twice);
    EXPECT_EQ(rebuilt, data);
    EXPECT_EQ(pass.checksum, expectedChecksum());
    EXPECT_EQ(pass.total, data.size());
}

TEST_F(ThreadedSet, TheEarliestFailureInTheDataIsReportedWithItsPiece) {
    ASSERT_EQ(cut("set", 2, true, false).what, CutResult::Done);
    PieceSet set;
    ASSERT_EQ(openPieceSet(piece("set", 1), set), SetOpening::Opened);
    // Piece 2 fails only once the other thread has gone on and failed at piece 5: piece 2 is still the one
    // reported, as a single thread would have met it, and the piece before it was handed on.
    {
        std::atomic<bool> laterFailed{false};
        std::mutex guard;
        std::vector<uint64_t> handed;
        DataPass pass;
        SetEvents progress;
        PassResult result = readSetData(
            set, pass, progress,
            [&](const uint8_t*, size_t, uint64_t at) {
                if (at == 1 * 3072) {
                    for (int wait = 0; wait < 5000 && !laterFailed; wait++) usleep(1000);
                    errno = ENOSPC;
                    return false;
                }
                if (at == 4 * 3072) {
                    laterFailed = true;
                    errno = EACCES;
                    return false;
                }
                std::lock_guard<std::mutex> hold(guard);
                handed.push_back(at);
                return true;
            },
            2);
        EXPECT_TRUE(laterFailed) << "piece 5 was never reached by the other thread";
        EXPECT_EQ(result, PassResult::SinkFailed);
        EXPECT_EQ(pass.failedPiece, 2u);
        EXPECT_EQ(pass.error.native, ENOSPC);
        EXPECT_NE(std::find(handed.begin(), handed.end(), 0u), handed.end());
        EXPECT_EQ(std::find(handed.begin(), handed.end(), 5u * 3072), handed.end()) << "went on past a failure";
    }
    // A piece cut short after the set was looked at.
    ASSERT_EQ(truncate(piece("set", 5).c_str(), 100), 0);
    DataPass pass;
    SetEvents progress;
    EXPECT_EQ(readSetData(set, pass, progress, [](const uint8_t*, size_t, uint64_t) { return true; }, 2),
              PassResult::ReadFailed);
    EXPECT_EQ(pass.failedPiece, 5u);
    EXPECT_EQ(pass.error.native, EIO);
}

TEST_F(ThreadedSet, OnePieceLargerThanABufferIsReadOnBothThreads) {
    // Over three buffers of data in a single piece: the chunks, not whole pieces, are shared out.
    std::mt19937 random(11);
    data.resize(3 * kCopyBufferSize + 1001);
    for (char& byte : data) byte = static_cast<char>(random());
    FILE* file = std::fopen(source.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), file);
    std::fclose(file);
    // One piece is cut with pieces of the size in KiB and one more, as a one-piece count makes them.
    ASSERT_EQ(cut("set", 1, false, true, false, static_cast<uint32_t>(data.size() / 1024 + 1)).what, CutResult::Done);
    PieceSet set;
    ASSERT_EQ(openPieceSet(piece("set", 1), set, true), SetOpening::Opened);
    ASSERT_EQ(set.pieces.size(), 1u);
    EXPECT_EQ(dataChunks(set), 4u);
    EXPECT_EQ(threadsFor(dataChunks(set)), threadsFor(100));
    std::string rebuilt(data.size(), '\0');
    std::mutex guard;
    std::atomic<bool> laterChunk{false};
    DataPass pass;
    pass.sum = pass.decipher = true;
    pass.key = cipherKeyOf("pw");
    SetEvents progress;
    PassResult result = readSetData(
        set, pass, progress,
        [&](const uint8_t* bytes, size_t count, uint64_t at) {
            // The first chunk waits for a later one, which only another thread can hand on meanwhile.
            for (int wait = 0; at == 0 && wait < 5000 && !laterChunk; wait++) usleep(1000);
            std::lock_guard<std::mutex> hold(guard);
            if (at > 0) laterChunk = true;
            rebuilt.replace(at, count, reinterpret_cast<const char*>(bytes), count);
            return true;
        },
        2);
    EXPECT_EQ(result, PassResult::Done);
    EXPECT_TRUE(laterChunk);
    EXPECT_TRUE(rebuilt == data);
    EXPECT_EQ(pass.checksum, expectedChecksum());
    EXPECT_EQ(pass.total, data.size());
    EXPECT_FALSE(set.pieces[0].held.valid());
}

TEST_F(ThreadedSet, DataIsReadFromThePiecesThatWereChecked) {
    ASSERT_EQ(cut("set", 1, false, false).what, CutResult::Done);
    auto readAll = [&](PieceSet& set, std::string& rebuilt, unsigned threads) {
        rebuilt.assign(data.size(), '\0');
        DataPass pass;
        pass.sum = true;
        SetEvents progress;
        PassResult result = readSetData(
            set, pass, progress,
            [&](const uint8_t* bytes, size_t count, uint64_t at) {
                rebuilt.replace(at, count, reinterpret_cast<const char*>(bytes), count);
                return true;
            },
            threads);
        return result == PassResult::Done && pass.checksum == expectedChecksum();
    };
    {
        PieceSet set;
        ASSERT_EQ(openPieceSet(piece("set", 1), set), SetOpening::Opened);
        for (const PieceState& each : set.pieces) EXPECT_FALSE(each.held.valid()) << each.index;  // info's way
        ASSERT_EQ(openPieceSet(piece("set", 1), set, true), SetOpening::Opened);
        for (const PieceState& each : set.pieces) EXPECT_TRUE(each.held.valid()) << each.index;
        // Replaced after the check: the data read is still the data that was checked.
        const std::string checked = slurp(piece("set", 4));
        ASSERT_EQ(rename(piece("set", 4).c_str(), (folder + "/aside").c_str()), 0);
        FILE* other = std::fopen(piece("set", 4).c_str(), "wb");
        ASSERT_NE(other, nullptr);
        std::fwrite(std::string(checked.size(), 'x').data(), 1, checked.size(), other);
        std::fclose(other);
        std::string rebuilt;
        EXPECT_TRUE(readAll(set, rebuilt, 2));
        EXPECT_EQ(rebuilt, data);
        for (const PieceState& each : set.pieces) EXPECT_FALSE(each.held.valid()) << each.index;  // let go once read
        ASSERT_EQ(rename((folder + "/aside").c_str(), piece("set", 4).c_str()), 0);
    }
    // Where the process may hold only a few descriptors, the rest of the pieces are opened again to be read. The
    // limit cannot be raised again, so this runs in a child process (on one thread: threads after a fork are not
    // welcome under the sanitizers).
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit few{67, 67};  // room for 3 pieces beside the 64 kept for other files
        bool ok = setrlimit(RLIMIT_NOFILE, &few) == 0;
        PieceSet set;
        ok = ok && openPieceSet(piece("set", 2), set, true) == SetOpening::Opened && set.pieces.size() == 6;
        for (size_t i = 0; ok && i < set.pieces.size(); i++) ok = set.pieces[i].held.valid() == (i < 3);
        std::string rebuilt;
        ok = ok && readAll(set, rebuilt, 1) && rebuilt == data;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's checks failed";
}

TEST_F(ThreadedSet, ACutThatFailsNamesTheFileAndListsWhatItMade) {
    // A folder where piece 5 goes: it cannot be created, every piece before it is cut.
    mkdir((folder + "/set").c_str(), 0777);
    mkdir(piece("set", 5).c_str(), 0777);
    CutResult result = cut("set", 2, false, false, true);
    EXPECT_EQ(result.what, CutResult::CreateFailed);
    EXPECT_EQ(result.path, piece("set", 5));
    EXPECT_EQ(result.error.what, FileError::Exists);  // a folder bears the name
    // Pieces 1-4, in order; piece 6 too when a thread had begun it before piece 5 failed.
    ASSERT_GE(result.made.size(), 4u);
    ASSERT_LE(result.made.size(), 5u);
    for (uint32_t index = 1; index <= result.made.size(); index++)
        EXPECT_EQ(result.made[index - 1], piece("set", index < 5 ? index : 6));
    for (const std::string& made : result.made) {
        struct stat st;
        EXPECT_EQ(stat(made.c_str(), &st), 0) << made;  // listed, so that the caller can remove it
    }
    // Folders where pieces 2 and 5 go: piece 2 is reported whichever thread fails first.
    ASSERT_EQ(unlink(piece("set", 2).c_str()), 0);
    ASSERT_EQ(mkdir(piece("set", 2).c_str(), 0777), 0);
    for (int round = 0; round < 20; round++) {
        for (uint32_t index : {1u, 3u, 4u}) unlink(piece("set", index).c_str());
        result = cut("set", 2, false, false, true);
        ASSERT_EQ(result.what, CutResult::CreateFailed);
        ASSERT_EQ(result.path, piece("set", 2)) << round;
    }
}
