// What join and verify demand of a set before reading its data, reported piece by piece.
#pragma once
#include "cli/options.h"
#include "set/pieceset.h"

// A folder given for a piece stands for the one set whose first piece it holds: operand becomes that piece.
// A folder with none or several is reported (kOutcomeUsage).
int pieceOfFolder(Options& options);
// Opens the set of options.operand and reports why it cannot be read; kOutcomeSuccess when it can.
// allowOdd: a set of another version or without header is accepted (join -y, info).
int openSetOrReport(const Options& options, PieceSet& set, bool allowOdd, bool hold = false,
                    const StandIns& standIns = {});
// Reports every missing piece and every piece that cannot belong to the set (to stderr, or into lines);
// returns the exit code they deserve (missing before damaged), kOutcomeSuccess when there are none.
int reportPieceProblems(const PieceSet& set, bool toStderr);
// One line per problem, in the user's language.
std::vector<std::string> pieceProblemLines(const PieceSet& set);
