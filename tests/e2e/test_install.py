"""tarn installs like a Linux program: cmake --install puts the binary and its man page in place, CPack makes a .deb."""
import os
import shutil
import subprocess
import tempfile
import unittest

BUILD = os.environ["TARN_BUILD_DIR"]
CPACK = os.environ["TARN_CPACK"]


class Install(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="tarn-install-")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def test_install_tree_and_debian_package(self):
        prefix = os.path.join(self.work, "prefix")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
        program = os.path.join(prefix, "bin", "tarn")
        version = subprocess.run([program, "--version"], stdout=subprocess.PIPE, check=True).stdout
        self.assertEqual(version, b"tarn 1.51\n")
        with open(os.path.join(prefix, "share", "man", "man1", "tarn.1"), encoding="utf-8") as f:
            page = f.read()
        for text in ('.TH tarn 1 "December 2026"', "tarn split", "EXIT STATUS", "no-checksum"):
            self.assertIn(text, page)
        man = shutil.which("man")
        if man:
            shown = subprocess.run([man, "-l", os.path.join(prefix, "share", "man", "man1", "tarn.1")],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=dict(os.environ, MANPAGER="cat"))
            self.assertEqual(shown.returncode, 0, shown.stderr)

        subprocess.run([CPACK, "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", self.work],
                       check=True, stdout=subprocess.DEVNULL)
        debs = [name for name in os.listdir(self.work) if name.endswith(".deb")]
        self.assertEqual(len(debs), 1, os.listdir(self.work))
        deb = os.path.join(self.work, debs[0])
        contents = subprocess.run(["dpkg-deb", "-c", deb], stdout=subprocess.PIPE, check=True, text=True).stdout
        self.assertIn("./usr/bin/tarn", contents)
        self.assertIn("./usr/share/man/man1/tarn.1", contents)
        fields = {}
        for field in ("Package", "Version", "Depends"):
            fields[field] = subprocess.run(["dpkg-deb", "-f", deb, field], stdout=subprocess.PIPE, check=True,
                                           text=True).stdout.strip()
        self.assertEqual(fields["Package"], "tarn")
        self.assertEqual(fields["Version"], "1.51")
        self.assertIn("libc6", fields["Depends"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
