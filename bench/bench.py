"""Times tarn against coreutils, one row per pair: the two commands alternate several times in one run and each
row reports the median time of both, the median of the rounds' ratios (and their range) and tarn's peak memory.
Called by bench/run.sh."""
import os
import shutil
import struct
import statistics
import subprocess
import sys
import time

TARN, WORK, MIB = sys.argv[1], sys.argv[2], int(sys.argv[3])
# The 64-bit Tarn.exe and the script that runs it under Wine, when bench/run.sh found them.
WINDOWS, WINE = (sys.argv[4], sys.argv[5]) if len(sys.argv) > 5 else (None, None)
ROUNDS = int(os.environ.get("TARN_BENCH_ROUNDS", "5"))
DVD_ROUNDS = int(os.environ.get("TARN_BENCH_DVD_ROUNDS", "3"))
ONLY = os.environ.get("TARN_BENCH_ONLY", "")  # run only the rows whose label contains this text
PAUSE = float(os.environ.get("TARN_BENCH_PAUSE", "2"))  # seconds between one command's clean-up and the next


def measure(command, cwd=WORK, stdout=None):
    """Seconds and peak resident KiB of one command, read from the child's own resource use."""
    out = open(stdout, "wb") if stdout else subprocess.DEVNULL
    peak = os.path.join(WORK, "peak.txt")
    # GNU time reports the peak of the command itself; a child forked from Python would count Python's pages.
    started = time.perf_counter()
    done = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak, *command], cwd=cwd, stdout=out,
                          stderr=subprocess.DEVNULL)
    seconds = time.perf_counter() - started
    if stdout:
        out.close()
    if done.returncode != 0:
        raise SystemExit("failed: %s" % " ".join(command))
    with open(peak) as f:
        return seconds, int(f.read().split()[-1])


def fresh(*folders):
    for folder in folders:
        shutil.rmtree(os.path.join(WORK, folder), ignore_errors=True)
        os.makedirs(os.path.join(WORK, folder))
    # Every command starts with no dirty pages of an earlier one: writeback throttling would land on whoever
    # happens to run next.
    os.sync()


def warm(paths):
    """Reads files into the page cache. This machine pages out memory left untouched for a while, the page cache
    included: without this, whichever command's input happened to be paged out ran several times slower."""
    for path in paths:
        with open(path, "rb", buffering=0) as f:
            while f.read(1 << 20):
                pass


def settle():
    """A pause after sync: the discards of a deleted output and the journal's writes outlive sync here, and they
    stalled whichever command ran next (several times slower, either side)."""
    time.sleep(PAUSE)


def row(label, ours, peer, rounds=ROUNDS, before=lambda: None, reads=(), peer_reads=None):
    """ours/peer: functions that run one command and return (seconds, peak KiB); run alternately, each after
    before(), with its input (reads; peer_reads when the peer reads other files) in the page cache and the disk
    quiet."""
    if rounds <= 0 or ONLY not in label:
        return
    mine, theirs, peaks = [], [], []

    def run_ours():
        before()
        settle()
        warm(reads)
        seconds, peak = ours()
        mine.append(seconds)
        peaks.append(peak)

    def run_peer():
        before()
        settle()
        warm(reads if peer_reads is None else peer_reads)
        theirs.append(peer()[0])

    for number in range(rounds):
        # The order turns each round: whichever command ran right after the other's clean-up was measured slower
        # in some spells, and a fixed order put that on one side only.
        for run in (run_ours, run_peer) if number % 2 == 0 else (run_peer, run_ours):
            run()
    a, b = statistics.median(mine), statistics.median(theirs)
    # Each round's pair ran back to back: the median of their ratios resists the machine drifting between rounds.
    ratios = [m / max(t, 1e-6) for m, t in zip(mine, theirs)]
    print("%-44s %7.3f s  peer %7.3f s  ratio %5.2f (rounds %.2f-%.2f)  peak %7d KiB"
          % (label, a, b, statistics.median(ratios), min(ratios), max(ratios), max(peaks)), flush=True)


def settings(folder, checksum, program=None):
    """The compatible mode reads its settings beside the program: checksum flag, output folder as given."""
    os.makedirs(folder, exist_ok=True)
    program = program or TARN
    copy = os.path.join(folder, os.path.basename(program))
    shutil.copy2(program, copy)
    record = struct.pack("<8I", 0, 0, 2, checksum, 0, 0, 2, 0) + bytes(18)
    with open(os.path.join(folder, "dTarn.dat"), "wb") as f:
        f.write(b"TARN1500" + record)
    return copy


def wine_rows(source, first, set_pieces, out, joined):
    """Tarn.exe under Wine against the native commands on the same file. Wine's own start-up (a Tarn.exe run on a
    1 KiB file, its median over the rounds, run back to back) is measured and taken off each Tarn.exe time. Wine's
    server and services end a few seconds after its last program, and the rows pause longer than that: started
    anew they add up to a second, so an untimed run on the small file comes right before every timed one."""
    exe = settings(os.path.join(WORK, "win"), 1, WINDOWS)
    z = lambda path: "Z:" + os.path.abspath(path).replace("/", "\\")
    tiny = os.path.join(WORK, "tiny.bin")
    with open(tiny, "wb") as f:
        f.write(os.urandom(1024))
    wine = lambda *args: measure([WINE, exe, *args])
    starts = []
    for _ in range(ROUNDS):
        fresh("tinyout")
        starts.append(wine("/i=" + z(tiny), "/o=" + z(os.path.join(WORK, "tinyout")), "/s=899", "/q")[0])
    start = statistics.median(starts)
    print("%-44s %7.3f s (taken off the Tarn.exe rows below)" % ("Wine start-up of Tarn.exe", start), flush=True)
    def less(run):
        def timed():
            fresh("tinyout")
            wine("/i=" + z(tiny), "/o=" + z(os.path.join(WORK, "tinyout")), "/s=899", "/q")
            return max(run()[0] - start, 1e-6), 0
        return timed
    row("Tarn.exe split /s=899 under Wine vs tarn split",
        less(lambda: wine("/i=" + z(source), "/o=" + z(out), "/s=899", "/q")),
        lambda: measure([TARN, "split", source, "-s", "899K", "-o", os.path.join(WORK, "peer"), "-q"]),
        before=lambda: fresh("out", "peer"), reads=[source])
    row("Tarn.exe split /s=899 /r=10% under Wine vs tarn split --recovery 10%",
        less(lambda: wine("/i=" + z(source), "/o=" + z(out), "/s=899", "/r=10%", "/q")),
        lambda: measure([TARN, "split", source, "-s", "899K", "--recovery", "10%", "-o", os.path.join(WORK, "peer"),
                         "-q"]),
        before=lambda: fresh("out", "peer"), reads=[source])
    row("Tarn.exe join under Wine vs tarn join",
        less(lambda: wine("/i=" + z(first), "/o=" + z(joined), "/q")),
        lambda: measure([TARN, "join", first, "-o", os.path.join(WORK, "peer"), "-q"]),
        before=lambda: fresh("joined", "peer"), reads=set_pieces)


def recovery_rows(source, parts):
    """Recovery volumes against the standard route: split -b, then par2 create with tarn's slice size and block
    count; a join of the set with a tenth of its pieces deleted against par2 repair and cat; the volumes' own cost
    against a split without them, with the encoder's throughput."""
    labels = ("split --recovery 10% vs split -b + par2 create", "split --recovery 10% vs split alone",
              "join with 10% of pieces lost vs par2 repair + cat")
    if not any(ONLY in label for label in labels):
        return  # none of these rows asked for: their sets are not made either
    out, peer = os.path.join(WORK, "out"), os.path.join(WORK, "peer")
    subprocess.run([TARN, "split", source, "-s", "899K", "-r", "10%", "-o", os.path.join(WORK, "rset"), "-q"],
                   check=True)
    names = sorted(os.listdir(os.path.join(WORK, "rset")))
    trn = [n for n in names if n.endswith(".trn")]
    blocks = len([n for n in names if ".vol" in n])
    slice_size = (max(os.path.getsize(os.path.join(WORK, "rset", n)) for n in trn) + 3) // 4 * 4
    part_names = [os.path.basename(p) for p in parts]
    create = "split -b 920576 %s part && par2 create -q -q -s%d -c%d part.par2 %s" % (
        source, slice_size, blocks, " ".join(part_names))
    row("split --recovery 10%% vs split -b + par2 create (%d blocks)" % blocks,
        lambda: measure([TARN, "split", source, "-s", "899K", "-r", "10%", "-o", out, "-q"]),
        lambda: measure(["sh", "-c", create], cwd=peer), before=lambda: fresh("out", "peer"), reads=[source])
    timings = []
    plain = lambda: measure([TARN, "split", source, "-s", "899K", "-o", peer, "-q"])
    with_volumes = lambda: timings.append(measure([TARN, "split", source, "-s", "899K", "-r", "10%", "-o", out,
                                                   "-q"])) or timings[-1]
    plain_times = []
    row("split --recovery 10% vs split alone", with_volumes, lambda: plain_times.append(plain()) or plain_times[-1],
        before=lambda: fresh("out", "peer"), reads=[source])
    if timings and plain_times:
        extra = statistics.median(t for t, _ in timings) - statistics.median(t for t, _ in plain_times)
        print("%-44s %7.2f GB/s of input x blocks (%.3f s for the volumes)"
              % ("encoder throughput", MIB * (1 << 20) * blocks / max(extra, 1e-6) / 1e9, extra), flush=True)
    # A tenth of the pieces lost: tarn join rebuilds them from its volumes; par2 repair restores them, cat joins.
    lost = trn[4::10][:blocks]
    for n in lost:
        os.remove(os.path.join(WORK, "rset", n))
    theirs = os.path.join(WORK, "pset")
    os.makedirs(theirs)
    subprocess.run(["sh", "-c", create], cwd=theirs, check=True)
    lost_parts = part_names[4::10][:blocks]

    def peer_copy():
        fresh("joined")
        shutil.rmtree(peer, ignore_errors=True)
        subprocess.run(["cp", "-al", theirs, peer], check=True)
        for n in lost_parts:
            os.remove(os.path.join(peer, n))
    repair = "par2 repair -q -q part.par2 && cat %s > whole" % " ".join(part_names)
    row("join with 10%% of pieces lost vs par2 repair + cat (%d lost)" % len(lost),
        lambda: measure([TARN, "join", os.path.join(WORK, "rset", trn[-1]), "-o", os.path.join(WORK, "joined"), "-q"]),
        lambda: measure(["sh", "-c", repair], cwd=peer), before=peer_copy,
        reads=[os.path.join(WORK, "rset", n) for n in os.listdir(os.path.join(WORK, "rset"))],
        peer_reads=[os.path.join(theirs, n) for n in os.listdir(theirs)])
    for folder in ("rset", "pset", "peer", "out", "joined"):
        shutil.rmtree(os.path.join(WORK, folder), ignore_errors=True)


def main():
    source = os.path.join(WORK, "source.bin")
    print("generating %d MiB" % MIB, flush=True)
    with open(source, "wb") as f:
        for _ in range(MIB):
            f.write(os.urandom(1 << 20))
    compat = settings(os.path.join(WORK, "compat"), 1)

    def pieces(folder, prefix):
        return sorted(os.path.join(WORK, folder, n) for n in os.listdir(os.path.join(WORK, folder)) if n.startswith(prefix))

    # Sets to join and verify, made once.
    subprocess.run([TARN, "split", source, "-s", "899K", "-o", os.path.join(WORK, "set"), "-q"], check=True)
    os.makedirs(os.path.join(WORK, "parts"))
    subprocess.run(["split", "-b", "899k", source, os.path.join(WORK, "parts", "part")], check=True)
    first = os.path.join(WORK, "set", "sour0001.trn")
    set_pieces = pieces("set", "sour")
    parts = pieces("parts", "part")

    split_peer = lambda: measure(["split", "-b", "899k", source, os.path.join(WORK, "peer", "part")])
    out = os.path.join(WORK, "out")
    row("split -s 899K (checksum on)", lambda: measure([TARN, "split", source, "-s", "899K", "-o", out, "-q"]),
        split_peer, before=lambda: fresh("out", "peer"), reads=[source])
    row("split -s 899K --no-checksum",
        lambda: measure([TARN, "split", source, "-s", "899K", "-o", out, "-q", "--no-checksum"]),
        split_peer, before=lambda: fresh("out", "peer"), reads=[source])
    row("/i= /s=899 (compatible mode, checksum on)",
        lambda: measure([compat, "/i=" + source, "/o=" + out, "/s=899", "/q"]),
        split_peer, before=lambda: fresh("out", "peer"), reads=[source])

    joined = os.path.join(WORK, "joined")
    cat_peer = lambda: measure(["cat", *parts], stdout=os.path.join(WORK, "peer", "whole"))
    row("join (checksum on)", lambda: measure([TARN, "join", first, "-o", joined, "-q"]), cat_peer,
        before=lambda: fresh("joined", "peer"), reads=set_pieces, peer_reads=parts)
    row("join --no-checksum", lambda: measure([TARN, "join", first, "-o", joined, "-q", "--no-checksum"]),
        cat_peer, before=lambda: fresh("joined", "peer"), reads=set_pieces, peer_reads=parts)
    row("/i= join (compatible mode, checksum on)", lambda: measure([compat, "/i=" + first, "/o=" + joined, "/q"]),
        cat_peer, before=lambda: fresh("joined", "peer"), reads=set_pieces, peer_reads=parts)
    fresh("joined")
    subprocess.run([TARN, "join", first, "-o", joined, "-q"], check=True)
    with open(os.path.join(joined, "source.bin"), "rb") as a, open(source, "rb") as b:
        while True:
            x, y = a.read(1 << 20), b.read(1 << 20)
            if x != y:
                raise SystemExit("rebuilt file differs")
            if not x:
                break

    if WINDOWS:
        wine_rows(source, first, set_pieces, out, joined)
    recovery_rows(source, parts)
    row("verify", lambda: measure([TARN, "verify", first, "-q"]),
        lambda: measure(["cat", *set_pieces], stdout="/dev/null"), before=os.sync, reads=set_pieces)

    # DVD-sized pieces of a sparse 6 GiB file: memory stays small whatever the piece size.
    sparse = os.path.join(WORK, "sparse.bin")
    with open(sparse, "wb") as f:
        f.truncate(6 << 30)
    os.remove(source)
    shutil.rmtree(os.path.join(WORK, "set"))
    shutil.rmtree(os.path.join(WORK, "parts"))
    row("split -s dvd, sparse 6 GiB", lambda: measure([TARN, "split", sparse, "-s", "dvd", "-o", out, "-q"]),
        lambda: measure(["split", "-b", "4927999k", sparse, os.path.join(WORK, "peer", "part")]), rounds=DVD_ROUNDS,
        before=lambda: fresh("out", "peer"))
    fresh("out", "peer")


main()
