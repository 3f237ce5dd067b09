"""Sizes past what 32 bits hold: a sparse source over 4 GiB split into 100000-KiB pieces and joined back, its
checksum taken over more than 2 GiB both ways. Run against the 32-bit Tarn.exe, where 64-bit sizes, offsets and
FILETIMEs live in pairs of 32-bit registers."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tarnlib  # noqa: E402
from test_batch import LAUNCHER, PROGRAM, WINE  # noqa: E402

SIZE = (4 << 30) + 300 * 1024 * 1024 + 12345   # 4.3 GiB and an odd tail
PIECE = 100000 * 1024
# Marks on both sides of 2 GiB and 4 GiB, at a piece boundary, and in the last bytes.
MARKS = [0, (2 << 30) - 2, (2 << 30) + 4, PIECE - 1, PIECE + 3, (4 << 30) - 4, (4 << 30) + 8, SIZE - 4]


class LargeFileTest(unittest.TestCase):
    def setUp(self):
        self.tarn = tarnlib.Runner(PROGRAM, WINE, LAUNCHER)
        self.work = tempfile.mkdtemp(prefix="tarn-large-")

    def tearDown(self):
        self.tarn.close()
        shutil.rmtree(self.work, ignore_errors=True)

    def test_a_source_over_4_gib_splits_and_joins_with_its_checksum(self):
        src = os.path.join(self.work, "huge.img")
        with open(src, "wb") as f:
            f.truncate(SIZE)
            for i, at in enumerate(MARKS):
                f.seek(at)
                f.write(struct.pack("<I", 0x01020304 * (i + 1) & 0xFFFFFFFF))
        # The checksum adds the file's 32-bit words; all but those under the marks are zero.
        words = sorted({at // 4 for at in MARKS} | {(at + 3) // 4 for at in MARKS})
        expected = 0
        with open(src, "rb") as f:
            for w in words:
                f.seek(w * 4)
                expected += struct.unpack("<I", f.read(4).ljust(4, b"\0"))[0]
        expected &= 0xFFFFFFFF
        out = os.path.join(self.work, "pieces")
        code, err = self.tarn.run("/i=" + self.tarn.path(src), "/o=" + self.tarn.path(out), "/s=100000", "/q",
                                  timeout=1800)
        self.assertEqual(code, 0, err)
        names = tarnlib.pieces_of(out, "huge")
        self.assertEqual(len(names), -(-SIZE // PIECE))
        header = tarnlib.read_header(os.path.join(out, names[0]))
        self.assertEqual((header["size"], header["count"]), (SIZE, len(names)))
        # The pieces are evened out below 100000 KiB; every one but the last holds the same, past 2^32 in all.
        piece = os.path.getsize(os.path.join(out, names[0])) - 652
        self.assertLessEqual(piece, PIECE)
        self.assertEqual(os.path.getsize(os.path.join(out, names[-1])), 8 + SIZE - (len(names) - 1) * piece)
        self.assertEqual(header["checksum"], expected)
        dest = os.path.join(self.work, "joined")
        code, err = self.tarn.run("/i=" + self.tarn.path(os.path.join(out, names[-1])), "/o=" + self.tarn.path(dest),
                                  "/q", timeout=1800)
        self.assertEqual(code, 0, err)  # 1 would be a checksum that disagrees
        rebuilt = os.path.join(dest, "huge.img")
        self.assertEqual(os.path.getsize(rebuilt), SIZE)
        self.assertEqual(subprocess.run(["cmp", "-s", src, rebuilt]).returncode, 0, "rebuilt file differs")


if __name__ == "__main__":
    unittest.main(verbosity=2)
