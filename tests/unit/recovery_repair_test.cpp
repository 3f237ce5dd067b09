// Recovery volumes read back and used: files lost, damaged or cut short are rebuilt byte for byte from as many
// recovery slices, from volumes that are themselves partly damaged; one loss too many is refused.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "jobfiles.h"
#include "set/gf16.h"
#include "set/outputs.h"
#include "set/paritycheck.h"
#include "set/parityread.h"
#include "set/parityrepair.h"
#include "set/recovery.h"

namespace {
struct Protected {
    TempFolder folder;
    std::vector<Bytes> contents;
    std::vector<std::string> names;

    // Files of those lengths and volumes of that many slices over them, each file one slice or several.
    Protected(const std::vector<size_t>& lengths, uint32_t blocks, uint64_t sliceSize = 0) {
        std::mt19937 random(7);
        RecoveryPlan plan;
        plan.folder = folder.path.string();
        plan.baseName = "data.bin";
        std::vector<uint64_t> sizes;
        for (size_t i = 0; i < lengths.size(); i++) {
            Bytes bytes(lengths[i]);
            for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
            names.push_back("data" + std::to_string(1001 + i).substr(0, 4) + ".trn");
            writeBytes(folder / names.back(), bytes);
            contents.push_back(bytes);
            plan.files.push_back({folder / names.back(), names.back(), lengths[i], nullptr});
            sizes.push_back(lengths[i]);
        }
        plan.blocks = blocks;
        plan.sliceSize = sliceSize ? sliceSize : sliceSizeFor(sizes);
        OutputFiles outputs(plan.folder);
        SetEvents quiet;
        EXPECT_EQ(writeRecoveryVolumes(plan, outputs, quiet, 2).what, RecoveryResult::Done);
        EXPECT_TRUE(outputs.commit());
    }

    ParitySet read() const {
        const std::vector<ParitySet> sets = readParitySets(folder.path.string(), 2);
        EXPECT_EQ(sets.size(), 1u);
        return sets.empty() ? ParitySet() : sets[0];
    }

    // Checks, rebuilds every file not whole beside it, and tells whether each came back as it was.
    ParityRepair repair(const ParitySet& set, ParityCheck& check, std::vector<size_t>& rebuilt) const {
        SetEvents quiet;
        check = checkParitySet(set, folder.path.string(), quiet, 2);
        std::vector<RebuildTarget> targets;
        for (size_t f = 0; f < check.files.size(); f++)
            if (check.files[f].state != FileCheck::Whole) {
                targets.push_back({f, folder / ("rebuilt-" + set.files[f].name), set.files[f].name});
                rebuilt.push_back(f);
            }
        return rebuildFromParity(set, check, targets, quiet, 2);
    }
    size_t indexOf(const ParitySet& set, const std::string& name) const {
        for (size_t f = 0; f < set.files.size(); f++)
            if (set.files[f].name == name) return f;
        return set.files.size();
    }
};
}  // namespace

TEST(RecoveryRepair, LostDamagedAndShortFilesComeBackByteForByte) {
    // One slice a file (the default), and several slices a file (as other clients cut them).
    for (uint64_t sliceSize : {uint64_t{0}, uint64_t{4096}}) {
        SCOPED_TRACE(sliceSize);
        Protected set({20000, 20000, 20000, 20000, 13333}, sliceSize ? 8 : 3, sliceSize);
        const ParitySet volumes = set.read();
        ASSERT_TRUE(volumes.complete);
        EXPECT_EQ(volumes.recovery.size(), sliceSize ? 8u : 3u);
        osRemoveFile(set.folder / set.names[1]);
        Bytes damaged = set.contents[3];
        damaged[5000] ^= 0x40;
        writeBytes(set.folder / set.names[3], damaged);
        writeBytes(set.folder / set.names[4], Bytes(set.contents[4].begin(), set.contents[4].end() - 1000));
        ParityCheck check;
        std::vector<size_t> rebuilt;
        const ParityRepair result = set.repair(volumes, check, rebuilt);
        EXPECT_EQ(check.files[set.indexOf(volumes, set.names[1])].state, FileCheck::Missing);
        EXPECT_EQ(check.files[set.indexOf(volumes, set.names[3])].state, FileCheck::Damaged);
        EXPECT_EQ(check.files[set.indexOf(volumes, set.names[0])].state, FileCheck::Whole);
        // With slices of 4 KiB only the slice hit and the short file's last one are lost, not whole files.
        EXPECT_EQ(check.lost, sliceSize ? 5u + 1u + 1u : 3u);
        ASSERT_EQ(result.what, ParityRepair::Done) << result.path;
        // The start of a file alone (a lost first piece's header) comes back in memory, within a slice or across
        // several, of a file lost whole or damaged after its start.
        SetEvents quiet;
        for (size_t file : {size_t{1}, size_t{3}})
            for (uint64_t bytes : {uint64_t{652}, uint64_t{10001}}) {
                const Bytes start = rebuildStartOf(volumes, check, set.indexOf(volumes, set.names[file]), bytes, quiet);
                EXPECT_EQ(start, Bytes(set.contents[file].begin(), set.contents[file].begin() + bytes))
                    << set.names[file] << " " << bytes;
            }
        EXPECT_TRUE(rebuildStartOf(volumes, check, set.indexOf(volumes, set.names[0]), 652, quiet).empty());  // whole
        ASSERT_EQ(rebuilt.size(), 3u);
        for (size_t f : rebuilt)
            EXPECT_EQ(readBytes(set.folder / ("rebuilt-" + volumes.files[f].name)),
                      set.contents[std::stoi(volumes.files[f].name.substr(4, 4)) - 1001])
                << volumes.files[f].name;
    }
}

TEST(RecoveryRepair, DamagedVolumesAreSkippedAndOneLossTooManyIsRefused) {
    Protected set({3000, 3000, 3000, 2000}, 2);
    // The first volume's recovery data is hit: its packet no longer matches its digest and counts for nothing,
    // while its critical packets still serve.
    const std::string volume = set.folder / "data.bin.vol00+01.par2";
    Bytes bytes = readBytes(volume);
    bytes[100] ^= 1;
    writeBytes(volume, bytes);
    osRemoveFile(set.folder / "data.bin.par2");
    ParitySet volumes = set.read();
    ASSERT_TRUE(volumes.complete);
    ASSERT_EQ(volumes.recovery.size(), 1u);
    EXPECT_EQ(volumes.recovery[0].exponent, 1u);
    osRemoveFile(set.folder / set.names[0]);
    ParityCheck check;
    std::vector<size_t> rebuilt;
    EXPECT_EQ(set.repair(volumes, check, rebuilt).what, ParityRepair::Done);
    EXPECT_EQ(readBytes(set.folder / ("rebuilt-" + set.names[0])), set.contents[0]);
    osRemoveFile(set.folder / set.names[2]);
    rebuilt.clear();
    EXPECT_EQ(set.repair(volumes, check, rebuilt).what, ParityRepair::TooMuchDamage);
    EXPECT_EQ(check.lost, 2u);
    EXPECT_EQ(check.blocks, 1u);
}

TEST(RecoveryRepair, ANameOutsideTheFolderIsNeverAFileOfIt) {
    for (const char* name : {"../x.trn", "/etc/passwd", "a/b.trn", "a\\b.trn", "..", ".", "", "c:x", "tab\tname"})
        EXPECT_FALSE(plainFileName(name)) << name;
    for (const char* name : {"repo0001.trn", "报告0001.trn", "UnTarn.bat", "..a"}) EXPECT_TRUE(plainFileName(name)) << name;
}

TEST(RecoveryRepair, RowsAreChosenSoThatTheLostSlicesCanBeSolved) {
    // Exponent 0 makes every constant 1: with it twice over nothing new is learnt, the next row is taken.
    const std::vector<uint16_t> lost = {2, 4};
    std::vector<size_t> rows;
    std::vector<uint16_t> inverse;
    ASSERT_TRUE(chooseRecoveryRows(lost, {0, 0, 3}, rows, inverse));
    EXPECT_EQ(rows, (std::vector<size_t>{0, 2}));
    // The inverse undoes the matrix: [1 1; 2^3 4^3] times it is the identity.
    const uint16_t m[4] = {1, 1, 8, 64};
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2; j++) {
            uint16_t sum = 0;
            for (int k = 0; k < 2; k++) sum ^= gfMultiply(m[i * 2 + k], inverse[k * 2 + j]);
            EXPECT_EQ(sum, i == j ? 1 : 0);
        }
    EXPECT_FALSE(chooseRecoveryRows(lost, {5}, rows, inverse));
}
