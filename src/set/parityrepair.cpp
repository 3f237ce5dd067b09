// Solving for lost slices: each recovery slice is the sum of every input slice times its constant raised to the
// recovery slice's exponent, so the lost ones follow from as many recovery slices by inverting a small matrix.
#include "set/parityrepair.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "set/gf16.h"
#include "set/slicepass.h"

namespace {
// Gauss-Jordan over GF(2^16): m (n×n, row by row) becomes its inverse; false when it has none.
bool invert(std::vector<uint16_t> m, size_t n, std::vector<uint16_t>& inverse) {
    inverse.assign(n * n, 0);
    for (size_t i = 0; i < n; i++) inverse[i * n + i] = 1;
    for (size_t col = 0; col < n; col++) {
        size_t pivot = col;
        while (pivot < n && m[pivot * n + col] == 0) pivot++;
        if (pivot == n) return false;
        for (size_t k = 0; k < n; k++) {
            std::swap(m[col * n + k], m[pivot * n + k]);
            std::swap(inverse[col * n + k], inverse[pivot * n + k]);
        }
        const uint16_t scale = gfInverse(m[col * n + col]);
        for (size_t k = 0; k < n; k++) {
            m[col * n + k] = gfMultiply(m[col * n + k], scale);
            inverse[col * n + k] = gfMultiply(inverse[col * n + k], scale);
        }
        for (size_t row = 0; row < n; row++) {
            const uint16_t factor = m[row * n + col];
            if (row == col || factor == 0) continue;
            for (size_t k = 0; k < n; k++) {
                m[row * n + k] ^= gfMultiply(factor, m[col * n + k]);
                inverse[row * n + k] ^= gfMultiply(factor, inverse[col * n + k]);
            }
        }
    }
    return true;
}
}  // namespace

bool chooseRecoveryRows(const std::vector<uint16_t>& lostConstants, const std::vector<uint32_t>& exponents,
                        std::vector<size_t>& rows, std::vector<uint16_t>& inverse) {
    const size_t n = lostConstants.size();
    auto rowOf = [&](size_t r, std::vector<uint16_t>& into) {
        for (size_t j = 0; j < n; j++) into.push_back(gfPower(lostConstants[j], exponents[r]));
    };
    // The first n usually solve; where they do not, a row that adds nothing new is passed over for the next one.
    rows.clear();
    std::vector<uint16_t> reduced;  // the rows taken so far, in echelon form, for telling a row that adds nothing
    std::vector<size_t> leads;
    for (size_t r = 0; r < exponents.size() && rows.size() < n; r++) {
        std::vector<uint16_t> row;
        rowOf(r, row);
        for (size_t t = 0; t < leads.size(); t++) {
            const uint16_t factor = row[leads[t]];
            if (factor == 0) continue;
            for (size_t k = 0; k < n; k++) row[k] ^= gfMultiply(factor, reduced[t * n + k]);
        }
        const auto lead = std::find_if(row.begin(), row.end(), [](uint16_t v) { return v != 0; });
        if (lead == row.end()) continue;
        const uint16_t scale = gfInverse(*lead);
        for (uint16_t& v : row) v = gfMultiply(v, scale);
        leads.push_back(static_cast<size_t>(lead - row.begin()));
        reduced.insert(reduced.end(), row.begin(), row.end());
        rows.push_back(r);
    }
    if (rows.size() < n) return false;
    std::vector<uint16_t> matrix;
    for (size_t r : rows) rowOf(r, matrix);
    return invert(matrix, n, inverse);
}

namespace {
struct Solver {
    const ParitySet& set;
    const ParityCheck& check;
    std::vector<std::unique_ptr<OsFile>> opened;  // by file: sound slices are read from it
    std::vector<std::unique_ptr<OsFile>> written; // by file: the rebuilt one, when asked for
    std::vector<std::unique_ptr<OsFile>> volumes;
    std::vector<std::string> shownOf;  // by file: what a failure to write it calls it
    ParityRepair result;
    // The bytes of each slice worked on: all of them, or only its first ones (the rebuilt ones then kept by kept).
    uint64_t span = 0;
    std::function<void(size_t file, size_t slice, uint64_t offset, const uint8_t* bytes, size_t count)> kept;

    bool fail(ParityRepair::What what, const std::string& path) {
        result.what = what;
        result.path = path;
        result.error = osLastFileError();
        return false;
    }

    // Each file asked for, created at its length with its sound slices already in place.
    bool prepare(const std::vector<RebuildTarget>& targets) {
        opened.resize(set.files.size());
        written.resize(set.files.size());
        shownOf.resize(set.files.size());
        for (const RebuildTarget& target : targets) shownOf[target.file] = target.shown;
        for (size_t f = 0; f < set.files.size(); f++)
            if (check.files[f].lostSlices() < set.files[f].slices.size())
                opened[f].reset(new OsFile(OsFile::openRead(check.files[f].path)));
        std::vector<uint8_t> block(1u << 20);
        for (const RebuildTarget& target : targets) {
            const ParityFile& file = set.files[target.file];
            written[target.file].reset(new OsFile(OsFile::createNew(target.writing)));
            const OsFile& out = *written[target.file];
            if (!out.valid() || !out.setLength(file.length)) return fail(ParityRepair::WriteFailed, target.shown);
            for (size_t k = 0; k < file.slices.size(); k++) {
                if (!check.files[target.file].sound[k]) continue;
                const uint64_t start = k * set.sliceSize, end = std::min(file.length, start + set.sliceSize);
                for (uint64_t at = start; at < end;) {
                    const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), end - at));
                    if (opened[target.file]->readAt(block.data(), n, at) != static_cast<int64_t>(n))
                        return fail(ParityRepair::ReadFailed, check.files[target.file].path);
                    if (!out.writeAt(block.data(), n, at)) return fail(ParityRepair::WriteFailed, target.shown);
                    at += n;
                }
            }
        }
        return true;
    }

    bool solve(SetEvents& events, unsigned threads) {
        std::vector<uint16_t> lostConstants;
        std::vector<std::pair<size_t, size_t>> lost;  // file and slice of each lost slice
        SlicePass pass;
        pass.sliceSize = span == 0 ? set.sliceSize : span;
        std::vector<uint16_t> knownConstants;
        for (size_t f = 0; f < set.files.size(); f++)
            for (size_t k = 0; k < set.files[f].slices.size(); k++) {
                const ParityFile& file = set.files[f];
                const uint16_t constant = inputSliceConstant(file.firstSlice + static_cast<uint32_t>(k));
                const uint64_t start = k * set.sliceSize;
                if (check.files[f].sound[k]) {
                    pass.inputs.push_back({opened[f].get(), start, std::min(pass.sliceSize, file.length - start),
                                           check.files[f].path});
                    knownConstants.push_back(constant);
                    continue;
                }
                lost.emplace_back(f, k);
                lostConstants.push_back(constant);
                const OsFile* out = written[f].get();
                pass.outputs.push_back({out, start, out ? std::min(set.sliceSize, file.length - start) : 0, ""});
            }
        if (lost.empty()) return true;
        std::vector<uint32_t> exponents;
        for (const RecoverySlice& slice : set.recovery) exponents.push_back(slice.exponent);
        std::vector<size_t> rows;
        std::vector<uint16_t> inverse;
        if (!chooseRecoveryRows(lostConstants, exponents, rows, inverse)) return fail(ParityRepair::Unsolvable, "");
        const size_t n = lost.size(), known = knownConstants.size();
        for (size_t r : rows) {
            volumes.emplace_back(new OsFile(OsFile::openRead(set.recovery[r].path)));
            if (!volumes.back()->valid()) return fail(ParityRepair::ReadFailed, set.recovery[r].path);
            pass.inputs.push_back({volumes.back().get(), set.recovery[r].offset, pass.sliceSize, set.recovery[r].path});
        }
        // lost = inverse × (recovery + the known slices' part of it): a known slice's factor folds the two.
        std::vector<uint16_t> factors(n * (known + n));
        for (size_t k = 0; k < known; k++) {
            std::vector<uint16_t> powers(n);
            for (size_t i = 0; i < n; i++) powers[i] = gfPower(knownConstants[k], exponents[rows[i]]);
            for (size_t j = 0; j < n; j++) {
                uint16_t sum = 0;
                for (size_t i = 0; i < n; i++) sum ^= gfMultiply(inverse[j * n + i], powers[i]);
                factors[j * (known + n) + k] = sum;
            }
        }
        for (size_t j = 0; j < n; j++)
            for (size_t i = 0; i < n; i++) factors[j * (known + n) + known + i] = inverse[j * n + i];
        pass.factor = [&](size_t j, size_t input) { return factors[j * (known + n) + input]; };
        for (size_t j = 0; j < n; j++) pass.outputs[j].path = shownOf[lost[j].first];
        std::vector<uint64_t> made(n, 0);
        if (kept)
            pass.made = [&](size_t j, const uint8_t* bytes, size_t count) {
                kept(lost[j].first, lost[j].second, made[j], bytes, count);
                made[j] += count;
            };
        const SlicePassResult done = runSlicePass(pass, events, threads);
        static const ParityRepair::What kWhat[] = {ParityRepair::Done, ParityRepair::ReadFailed,
                                                   ParityRepair::WriteFailed, ParityRepair::Stopped};
        result.what = kWhat[done.what];
        result.path = done.path;
        result.error = done.error;
        return done.what == SlicePassResult::Done;
    }

    // Each rebuilt file read back whole: only its digest says the arithmetic and the volumes told the truth.
    bool confirm(const std::vector<RebuildTarget>& targets) {
        std::vector<uint8_t> block(1u << 20);
        for (const RebuildTarget& target : targets) {
            if (!written[target.file]->close()) return fail(ParityRepair::WriteFailed, target.shown);
            const OsFile out = OsFile::openRead(target.writing);
            Md5 md5;
            for (uint64_t at = 0; at < set.files[target.file].length;) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), set.files[target.file].length - at));
                if (out.readAt(block.data(), n, at) != static_cast<int64_t>(n))
                    return fail(ParityRepair::ReadFailed, target.shown);
                md5.add(block.data(), n);
                at += n;
            }
            if (md5.finish() != set.files[target.file].whole) return fail(ParityRepair::Mismatch, target.shown);
        }
        return true;
    }
};
}  // namespace

std::vector<uint8_t> rebuildStartOf(const ParitySet& set, const ParityCheck& check, size_t file, uint64_t bytes,
                                    SetEvents& events) {
    std::vector<uint8_t> start;
    if (!check.repairable() || file >= set.files.size() || check.files[file].state == FileCheck::Whole) return start;
    bytes = std::min(bytes, set.files[file].length);
    Solver solver{set, check, {}, {}, {}, {}, {}, 0, {}};
    // Each slice's first bytes depend on the first bytes of the others alone: only those are read.
    solver.span = std::min(set.sliceSize, (bytes + 3) / 4 * 4);
    start.assign(static_cast<size_t>(bytes), 0);
    solver.kept = [&](size_t f, size_t slice, uint64_t offset, const uint8_t* data, size_t count) {
        const uint64_t at = slice * set.sliceSize + offset;
        if (f != file || at >= bytes) return;
        std::copy(data, data + std::min<uint64_t>(count, bytes - at), start.begin() + static_cast<ptrdiff_t>(at));
    };
    // The sound slices among the first ones are read as they are.
    osFilesToSpare();
    if (!solver.prepare({})) return {};
    const OsFile* own = solver.opened[file].get();
    for (size_t k = 0; k * set.sliceSize < bytes; k++) {
        if (!check.files[file].sound[k]) continue;
        const uint64_t at = k * set.sliceSize, n = std::min(set.sliceSize, bytes - at);
        if (own == nullptr || own->readAt(&start[static_cast<size_t>(at)], static_cast<size_t>(n), at) !=
                                  static_cast<int64_t>(n))
            return {};
    }
    if (!solver.solve(events, 1)) return {};
    return start;
}

ParityRepair rebuildFromParity(const ParitySet& set, const ParityCheck& check, const std::vector<RebuildTarget>& targets,
                               SetEvents& events, unsigned threads) {
    Solver solver{set, check, {}, {}, {}, {}, {}, 0, {}};
    if (!check.repairable()) {
        solver.result.what = ParityRepair::TooMuchDamage;
        return solver.result;
    }
    osFilesToSpare();  // every file with a sound slice is held open through the pass
    if (solver.prepare(targets) && solver.solve(events, threads)) solver.confirm(targets);
    return solver.result;
}
