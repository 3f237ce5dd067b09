// The window's jobs with recovery volumes: a split writes them beside its pieces, a join rebuilds lost or
// damaged pieces with them first, and the analysis reads a lost first piece's header back from them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/window.h"
#include "set/outputs.h"
#include "set/pieceset.h"

// Volumes an earlier set of these pieces' names left would call the new pieces damaged: they go at the commit.
// Looked for before the cut, while the folder does not yet hold the new pieces to list as well.
void removeStaleVolumes(OutputFiles& outputs);

// The volumes the settings ask for, over the new set's files (finals: their names once committed), written
// into outputs before its commit. False when the job ends here: stopped, or rolled back after a write error.
bool addRecoveryVolumes(WindowRef window, OutputFiles& outputs, const std::vector<std::string>& finals);

// A set whose folder holds its recovery volumes: every piece checked, and those lost or damaged rebuilt into
// files of the join's own in outputs' folder (which exists), read instead of them through standIns; the names in
// jobState.rebuiltPieces. False when the job ends here (too much damage, a failure, "取消"), its message shown.
bool repairPiecesFirst(WindowRef window, const char* firstPiece, OutputFiles& outputs, StandIns& standIns);

// The first bytes of a first piece that cannot be read, rebuilt from the volumes in its folder, and the length
// the piece had. NoVolumes when none protect it; TooMuchDamage has shown its message and set jobResult.
enum class FirstPiece { Rebuilt, NoVolumes, TooMuchDamage };
FirstPiece firstPieceFromVolumes(WindowRef window, const char* firstPiece, uint8_t* bytes, uint32_t count,
                                 uint32_t* got, uint64_t* length);

// The first piece of the Tarn set whose volume this is (".par2"), or empty when it protects none.
std::string firstPieceOfVolume(const char* volume);

// A join's result message names the pieces rebuilt on the way (lines 3 and 4), when it succeeded and there were.
void addRebuiltPiecesToResult();
