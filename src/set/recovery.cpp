// Writes recovery volumes: the set's files read a stretch of every slice at a time, each stretch added into every
// recovery slice, the digests taken on the way; the volumes' critical packets follow their recovery data.
#include "set/recovery.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "set/digests.h"
#include "set/gf16.h"
#include "set/parityformat.h"
#include "set/slicepass.h"
#include "text/textops.h"

namespace {
using namespace parity;
constexpr char kCreatorText[] = "Tarn 1.51, tarn-support@ormand.example.org";

void put64(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; i++) out += static_cast<char>(v >> (8 * i));
}
void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; i++) out += static_cast<char>(v >> (8 * i));
}
void putDigest(std::string& out, const Md5Digest& d) { out.append(reinterpret_cast<const char*>(d.bytes), 16); }
void padTo4(std::string& out) {
    while (out.size() % 4 != 0) out += '\0';
}

// A whole packet: header (its digest over the set id, the type and the body) and body.
std::string packet(const Md5Digest& set, const char* type, const std::string& body) {
    Md5 digest;
    digest.add(set.bytes, 16);
    digest.add(type, 16);
    digest.add(body.data(), body.size());
    std::string out(kMagic, 8);
    put64(out, kHeader + body.size());
    putDigest(out, digest.finish());
    putDigest(out, set);
    out.append(type, 16);
    return out + body;
}

struct FileState {
    const ProtectedFile* file = nullptr;
    std::shared_ptr<OsFile> opened;
    uint64_t length = 0;
    Md5Digest first16k{}, whole{}, id{};
    uint32_t slices = 0, firstSlice = 0;
    Md5 wholeSum;
};

struct SliceState {
    Md5 sum;
    uint64_t padding = 0;  // zeros after the data of a file of one slice, whose digest sum stands in for the start
    uint32_t crc = 0;
    uint16_t constant = 0;
};

// What the critical packets say of the set: the main packet, and each file's description and slice checksums.
std::string criticalPackets(const Md5Digest& set, const std::string& main, const std::vector<FileState*>& files,
                            std::vector<SliceState>& slices, std::vector<Md5Digest>& sliceSums) {
    std::string all = packet(set, kMain, main);
    for (const FileState* f : files) {
        std::string body;
        putDigest(body, f->id);
        putDigest(body, f->whole);
        putDigest(body, f->first16k);
        put64(body, f->length);
        body += f->file->name;
        padTo4(body);
        all += packet(set, kFileDesc, body);
        std::string sums;
        putDigest(sums, f->id);
        for (uint32_t s = f->firstSlice; s < f->firstSlice + f->slices; s++) {
            putDigest(sums, sliceSums[s]);
            put32(sums, slices[s].crc);
        }
        all += packet(set, kSliceSums, sums);
    }
    std::string creator = kCreatorText;
    padTo4(creator);
    return all + packet(set, kCreator, creator);
}

std::string volumeName(const RecoveryPlan& plan, uint32_t exponent) {
    // Numbers of one width, so that the volumes sort in order: NAME.vol00+01.par2, NAME.vol01+01.par2, …
    const size_t width = std::max<size_t>(2, std::to_string(plan.blocks).size());
    auto padded = [width](uint32_t n) {
        const std::string digits = std::to_string(n);
        return std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
    };
    return plan.baseName + ".vol" + padded(exponent) + "+" + padded(1) + ".par2";
}

std::string inFolder(const std::string& folder, const std::string& name) {
    const bool ends = !folder.empty() && (folder.back() == '/' || folder.back() == kPathSeparator);
    return folder + (ends ? "" : kPathSeparatorText) + name;
}
}  // namespace

uint64_t sliceSizeFor(const std::vector<uint64_t>& lengths) {
    uint64_t largest = 4;
    for (uint64_t length : lengths) largest = std::max(largest, length);
    return (largest + 3) / 4 * 4;
}

namespace {
struct Encoder {
    const RecoveryPlan& plan;
    SetEvents& events;
    unsigned threads;
    std::vector<FileState> files;
    std::vector<FileState*> order;  // by file id: the order of the main packet and of the slices' constants
    std::vector<SliceState> slices;
    Md5Digest set{};
    std::string main;
    std::vector<std::shared_ptr<OsFile>> volumes;  // held by the outputs too, which rename them through these
    std::vector<std::unique_ptr<Md5>> recoverySums;
    RecoveryResult result;

    bool fail(RecoveryResult::What what, const std::string& path) {
        result.what = what;
        result.path = path;
        result.error = osLastFileError();
        return false;
    }

    // Lengths, the digests of the first 16 KiB, the file ids and their order, the slices and their constants.
    bool openFiles() {
        files.resize(plan.files.size());
        for (size_t i = 0; i < files.size(); i++) {
            FileState& f = files[i];
            f.file = &plan.files[i];
            f.opened = f.file->opened;
            if (!f.opened || !f.opened->valid()) f.opened = std::make_shared<OsFile>(OsFile::openRead(f.file->reading));
            if (!f.opened->valid()) return fail(RecoveryResult::ReadFailed, f.file->reading);
            f.length = f.opened->length();
            std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(f.length, 16384)));
            if (f.opened->readAt(head.data(), head.size(), 0) != static_cast<int64_t>(head.size()))
                return fail(RecoveryResult::ReadFailed, f.file->reading);
            f.first16k = md5Of(head.data(), head.size());
            std::string idSource(reinterpret_cast<const char*>(f.first16k.bytes), 16);
            put64(idSource, f.length);
            idSource += f.file->name;
            f.id = md5Of(idSource.data(), idSource.size());
            f.slices = static_cast<uint32_t>((f.length + plan.sliceSize - 1) / plan.sliceSize);
            order.push_back(&f);
        }
        std::sort(order.begin(), order.end(), [](const FileState* a, const FileState* b) { return a->id < b->id; });
        put64(main, plan.sliceSize);
        put32(main, static_cast<uint32_t>(order.size()));
        for (FileState* f : order) {
            putDigest(main, f->id);
            f->firstSlice = static_cast<uint32_t>(slices.size());
            for (uint32_t k = 0; k < f->slices; k++) slices.emplace_back();
        }
        for (size_t s = 0; s < slices.size(); s++) slices[s].constant = inputSliceConstant(static_cast<uint32_t>(s));
        set = md5Of(main.data(), main.size());
        return true;
    }

    bool createVolumes(OutputFiles& outputs) {
        for (uint32_t e = 0; e < plan.blocks; e++) {
            const std::string path = inFolder(plan.folder, volumeName(plan, e));
            const std::string writing = outputs.add(path);
            volumes.push_back(std::make_shared<OsFile>(OsFile::createNew(writing)));
            if (!volumes.back()->valid()) return fail(RecoveryResult::WriteFailed, path);
            outputs.created(writing, volumes.back());
            result.volumes.push_back(path);
            recoverySums.emplace_back(new Md5);
            std::string start(reinterpret_cast<const char*>(set.bytes), 16);
            start.append(kRecovery, 16);
            put32(start, e);
            recoverySums.back()->add(start.data(), start.size());
        }
        return true;
    }

    // Every byte of a file with several slices, in order, for its whole digest (one slice each: on the way).
    bool sumWholeFiles() {
        std::vector<uint8_t> buffer(1 << 20);
        for (FileState& f : files) {
            if (f.slices <= 1) continue;
            for (uint64_t at = 0; at < f.length; at += buffer.size()) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), f.length - at));
                if (f.opened->readAt(buffer.data(), n, at) != static_cast<int64_t>(n))
                    return fail(RecoveryResult::ReadFailed, f.file->reading);
                f.wholeSum.add(buffer.data(), n);
            }
        }
        return true;
    }

    // Every slice of every file in, every recovery slice out; the slices' digests taken on the way.
    bool encode() {
        SlicePass pass;
        pass.sliceSize = plan.sliceSize;
        std::vector<std::pair<FileState*, uint32_t>> of;  // the file and the slice number of each input
        for (FileState* f : order)
            for (uint32_t k = 0; k < f->slices; k++) {
                const uint64_t start = k * plan.sliceSize;
                const uint64_t length = std::min(plan.sliceSize, f->length - start);
                pass.inputs.push_back({f->opened.get(), start, length, f->file->reading});
                of.emplace_back(f, k);
            }
        for (uint32_t e = 0; e < plan.blocks; e++)
            pass.outputs.push_back({volumes[e].get(), kHeader + 4, plan.sliceSize, result.volumes[e]});
        pass.factor = [&](size_t e, size_t i) {
            return gfPower(slices[i].constant, static_cast<uint32_t>(e));
        };
        pass.seen = [&](size_t i, const uint8_t* bytes, size_t have, size_t n) {
            FileState& f = *of[i].first;
            SliceState& slice = slices[i];
            // A file of one slice: its own digest is the slice's until the zeros that pad the slice.
            if (f.slices == 1) {
                f.wholeSum.add(bytes, have);
                slice.padding += n - have;
            } else {
                slice.sum.add(bytes, n);
            }
            slice.crc = crc32Of(bytes, n, slice.crc);
        };
        pass.made = [&](size_t e, const uint8_t* bytes, size_t n) { recoverySums[e]->add(bytes, n); };
        const SlicePassResult done = runSlicePass(pass, events, threads);
        if (done.what == SlicePassResult::Done) return true;
        static const RecoveryResult::What kWhat[] = {RecoveryResult::Done, RecoveryResult::ReadFailed,
                                                     RecoveryResult::WriteFailed, RecoveryResult::Stopped};
        result.what = kWhat[done.what];
        result.path = done.path;
        result.error = done.error;
        return false;
    }

    // Each volume's recovery packet header, then the critical packets after its data; the index file has those alone.
    bool finish(OutputFiles& outputs) {
        std::vector<Md5Digest> sliceSums(slices.size());
        for (FileState& f : files) {
            if (f.slices == 1) {
                // The slice: the file's bytes, then the zeros that fill it.
                Md5 slice = f.wholeSum;
                // A short last piece of a set cut for DVDs pads its slice with gigabytes: fed a block at a time.
                const std::vector<uint8_t> zeros(64 << 10);
                for (uint64_t left = slices[f.firstSlice].padding; left > 0;) {
                    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, zeros.size()));
                    slice.add(zeros.data(), n);
                    left -= n;
                }
                slices[f.firstSlice].sum = slice;
            }
            f.whole = f.wholeSum.finish();
        }
        for (size_t s = 0; s < slices.size(); s++) sliceSums[s] = slices[s].sum.finish();
        const std::string critical = criticalPackets(set, main, order, slices, sliceSums);
        for (uint32_t e = 0; e < plan.blocks; e++) {
            std::string head(kMagic, 8);
            put64(head, kHeader + 4 + plan.sliceSize);
            putDigest(head, recoverySums[e]->finish());
            putDigest(head, set);
            head.append(kRecovery, 16);
            put32(head, e);
            const auto* bytes = reinterpret_cast<const uint8_t*>(head.data());
            const auto* tail = reinterpret_cast<const uint8_t*>(critical.data());
            if (!volumes[e]->writeAt(bytes, head.size(), 0) ||
                !volumes[e]->writeAt(tail, critical.size(), kHeader + 4 + plan.sliceSize))
                return fail(RecoveryResult::WriteFailed, result.volumes[e]);
        }
        const std::string index = inFolder(plan.folder, plan.baseName + ".par2");
        const std::string writing = outputs.add(index);
        OsFile file = OsFile::createNew(writing);
        if (file.valid()) outputs.created(writing);
        if (!file.valid() || !file.writeAt(reinterpret_cast<const uint8_t*>(critical.data()), critical.size(), 0) ||
            !file.close())
            return fail(RecoveryResult::WriteFailed, index);
        result.volumes.insert(result.volumes.begin(), index);
        return true;
    }
};
}  // namespace

RecoveryResult writeRecoveryVolumes(const RecoveryPlan& plan, OutputFiles& outputs, SetEvents& events,
                                    unsigned threads) {
    Encoder encoder{plan, events, threads == 0 ? 1 : threads, {}, {}, {}, {}, {}, {}, {}, {}};
    if (encoder.openFiles() && encoder.createVolumes(outputs) && encoder.sumWholeFiles() && encoder.encode())
        encoder.finish(outputs);
    // Closed now, those the plan opened too, whoever still holds them: on Windows a file held open can be neither
    // removed (a rollback) nor renamed (the commit).
    for (const ProtectedFile& file : plan.files)
        if (file.opened && !file.borrowed) file.opened->close();
    for (FileState& f : encoder.files)
        if (f.opened && f.opened != f.file->opened) f.opened->close();
    return encoder.result;
}
