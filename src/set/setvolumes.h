// The recovery volumes beside a set of pieces: which volume set protects it, which of its files a repair may
// write, how many volumes a count or a share asks for, and the volumes planned over a new set's files.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "set/events.h"
#include "set/outputs.h"
#include "set/paritycheck.h"
#include "set/parityformat.h"
#include "set/parityrepair.h"
#include "set/recovery.h"

struct SetVolumes {
    std::string folder;
    std::string stem;  // the stem of the set's pieces
    ParitySet set;     // none found: its slice size is 0
    bool found() const { return set.sliceSize != 0; }
};

// A name of a piece: anything, four digits and ".trn" (in any case).
bool pieceShapedName(const std::string& name);

// The volume set in operand's folder that protects operand (a piece, or one of the volumes themselves; a path
// ending in a separator: the folder itself, and any set there).
SetVolumes findVolumes(const std::string& operand);

// Whether a name the volumes give is one of the set's own files, which a repair may write: a piece of the set's
// stem or its UnTarn.bat, in the set's folder. Any other name is read, at most, and never written.
bool ownFileOfSet(const SetVolumes& volumes, const std::string& name);

// The volume files in folder of every volume set that protects a piece named stem: a new set of that stem
// replaces them, as volumes of the old pieces would call the new ones damaged.
std::vector<std::string> volumesOfStem(const std::string& folder, const std::string& stem);

// Whether some own file of the set is missing or damaged.
bool ownFileToRebuild(const SetVolumes& volumes, const ParityCheck& check);

// Volumes asked as a count, or as a share in percent of the pieces (rounded up).
uint32_t recoveryBlocksFor(uint32_t pieces, uint32_t value, bool percent);

// The volumes over a new set's files: finals are their paths once named. Where outputs are given, the files are
// theirs, read where they are written now and through the files they hold open (left open for their commit);
// without, the files are read where they lie.
RecoveryPlan recoveryPlanFor(const std::string& folder, const std::string& baseName, uint32_t blocks,
                             const std::vector<std::string>& finals, const OutputFiles* outputs);

// The names a rebuilt own file is written under and called by.
struct RebuiltName {
    std::string writing, shown;
};
// Rebuilds every own file that is not whole under the name nameFor gives it, and lists them in rebuilt.
ParityRepair rebuildOwnFiles(const SetVolumes& volumes, const ParityCheck& check,
                             const std::function<RebuiltName(size_t file)>& nameFor, SetEvents& events,
                             std::vector<size_t>& rebuilt);
