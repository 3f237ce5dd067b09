// The outputs transaction and its journal: what a failed, a finished and a killed run leave in a folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "jobfiles.h"
#include "set/journal.h"
#include "set/outputs.h"

namespace {
std::string text(const std::string& path) {
    const Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}
void put(const std::string& path, const std::string& content) { writeBytes(path, Bytes(content.begin(), content.end())); }

// Writes a file through the transaction and returns the name it was written under.
std::string writeThrough(OutputFiles& outputs, const std::string& path, const std::string& content) {
    const std::string writing = outputs.add(path);
    put(writing, content);
    outputs.created(writing);
    return writing;
}
}  // namespace

TEST(Outputs, NewFilesTakeTheirNamesTogetherOrNotAtAll) {
    TempFolder folder;
    put(folder / "a.trn", "old a");
    put(folder / "c.trn", "old c");
    {
        // Abandoned: the old files stay, the new ones and the journal go.
        OutputFiles outputs(folder.path.string());
        const std::string writing = writeThrough(outputs, folder / "a.trn", "new a");
        writeThrough(outputs, folder / "b.trn", "new b");
        EXPECT_NE(writing, folder / "a.trn");
        EXPECT_EQ(text(folder / "a.trn"), "old a");
        EXPECT_EQ(folderNames(folder.path.string()).size(), 5u) << "two new files and a journal beside the old ones";
    }
    EXPECT_EQ(folderNames(folder.path.string()), (std::vector<std::string>{"a.trn", "c.trn"}));
    {
        OutputFiles outputs(folder.path.string());
        writeThrough(outputs, folder / "a.trn", "new a");
        const std::string b = writeThrough(outputs, folder / "b.trn", "new b");
        outputs.retarget(b, folder / "b (failed).trn");
        outputs.removeAtCommit(folder / "c.trn");
        ASSERT_TRUE(outputs.commit());
    }
    EXPECT_EQ(folderNames(folder.path.string()), (std::vector<std::string>{"a.trn", "b (failed).trn"}));
    EXPECT_EQ(text(folder / "a.trn"), "new a");
}

TEST(Outputs, ARunKilledAtAnyMomentIsFinishedOrUndoneByTheNext) {
    TempFolder folder;
    const std::string f = folder.path.string();
    auto killedRun = [&](bool committed, const std::string& name) {
        // A journal that goes out of scope unfinished is what a killed run leaves: its lock is gone with it.
        Journal journal;
        ASSERT_TRUE(journal.begin(f));
        const std::string writing = temporaryNameIn(f);
        journal.wrote(writing, folder / name);
        put(writing, "new " + name);
        journal.doomed(folder / "doomed.trn");
        if (committed) {
            ASSERT_TRUE(journal.commit());
        }
    };
    put(folder / "x.trn", "old x");
    put(folder / "doomed.trn", "old");
    killedRun(false, "x.trn");
    StoppedRuns found = recoverStoppedRuns(f);
    EXPECT_EQ(found.undone, 1u);
    EXPECT_EQ(found.finished, 0u);
    EXPECT_EQ(folderNames(f), (std::vector<std::string>{"doomed.trn", "x.trn"}));
    EXPECT_EQ(text(folder / "x.trn"), "old x");

    killedRun(true, "x.trn");
    found = recoverStoppedRuns(f);
    EXPECT_EQ(found.finished, 1u);
    EXPECT_EQ(folderNames(f), (std::vector<std::string>{"x.trn"}));
    EXPECT_EQ(text(folder / "x.trn"), "new x.trn");

    // A run still at work is left alone; a journal naming anything outside the folder moves nothing.
    Journal alive;
    ASSERT_TRUE(alive.begin(f));
    const std::string writing = temporaryNameIn(f);
    alive.wrote(writing, folder / "y.trn");
    put(writing, "y");
    EXPECT_EQ(recoverStoppedRuns(f).undone, 0u);
    EXPECT_EQ(folderNames(f).size(), 3u);
    alive.end();
    {
        Journal hostile;
        ASSERT_TRUE(hostile.begin(f));
        hostile.wrote(folder / "x.trn", folder / "..");  // not a name of its own, nor one inside the folder
        hostile.doomed(folder / "..");
        hostile.commit();
    }
    EXPECT_EQ(recoverStoppedRuns(f).finished, 1u);
    EXPECT_EQ(text(folder / "x.trn"), "new x.trn");
    osRemoveFile(writing);
    EXPECT_EQ(folderNames(f), (std::vector<std::string>{"x.trn"}));
}

TEST(Outputs, ARenameThatFailsAmongManyReportsItsErrorAndKeepsWhatCameBefore) {
    // Enough files for the renames to be shared among threads; the 150th cannot take its name (a folder has it).
    TempFolder folder;
    std::vector<std::string> names;
    for (int i = 1; i <= 300; i++) names.push_back("p" + std::to_string(1000 + i) + ".trn");
    std::filesystem::create_directory(folder.path / names[149]);
    put(folder / (names[149] + "/inside"), "kept");
    {
        OutputFiles outputs(folder.path.string());
        for (const std::string& name : names) writeThrough(outputs, folder / name, "new " + name);
        osSetFileError(FileError::None);
        EXPECT_FALSE(outputs.commit());
        EXPECT_NE(osLastFileError().what, FileError::None) << "the failed rename's own error, on the caller's thread";
        for (size_t i = 0; i < 149; i++) EXPECT_EQ(text(folder / names[i]), "new " + names[i]);
    }
    // What was not renamed goes with the transaction; the folder in the way and what it holds stay.
    for (const std::string& name : folderNames(folder.path.string())) EXPECT_NE(name.rfind(".tarn-", 0), 0u) << name;
    EXPECT_EQ(text(folder / (names[149] + "/inside")), "kept");
}

TEST(Outputs, FilesHeldOpenAreReadMeanwhileThenRenamedThroughTheirHandlesOrRemoved) {
    TempFolder folder;
    std::filesystem::create_directory(folder.path / "sub");
    put(folder / "replaced.trn", "old");
    // Made as a cut makes a piece: created new, written, and handed over open.
    auto heldThrough = [&](OutputFiles& outputs, const std::string& path, const std::string& content) {
        const std::string writing = outputs.add(path);
        auto file = std::make_shared<OsFile>(OsFile::createNew(writing));
        EXPECT_TRUE(file->writeAt(reinterpret_cast<const uint8_t*>(content.data()), content.size(), 0));
        outputs.created(writing, file);
        return writing;
    };
    {
        // Abandoned: held files are closed before they go (Windows removes no open file).
        OutputFiles outputs(folder.path.string());
        heldThrough(outputs, folder / "gone.trn", "never named");
    }
    EXPECT_EQ(folderNames(folder.path.string()), (std::vector<std::string>{"replaced.trn", "sub"}));
    OutputFiles outputs(folder.path.string());
    const std::string a = heldThrough(outputs, folder / "a.trn", "piece a");
    heldThrough(outputs, folder / "replaced.trn", "new");
    heldThrough(outputs, folder / "sub/other folder.trn", "moved by name");
    const std::shared_ptr<OsFile> held = outputs.held(folder / "a.trn");
    ASSERT_TRUE(held && held == outputs.held(a));
    uint8_t bytes[7] = {};
    EXPECT_EQ(held->readAt(bytes, sizeof bytes, 0), 7) << "read through the handle the cut wrote with";
    EXPECT_EQ(std::string(bytes, bytes + 7), "piece a");
    EXPECT_EQ(outputs.held(folder / "b.trn"), nullptr);
    ASSERT_TRUE(outputs.commit());
    EXPECT_FALSE(held->valid()) << "closed by the commit";
    EXPECT_EQ(folderNames(folder.path.string()), (std::vector<std::string>{"a.trn", "replaced.trn", "sub"}));
    EXPECT_EQ(text(folder / "a.trn"), "piece a");
    EXPECT_EQ(text(folder / "replaced.trn"), "new");
    EXPECT_EQ(text(folder / "sub/other folder.trn"), "moved by name");
}
