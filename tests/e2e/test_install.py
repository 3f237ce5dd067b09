"""tarn installs like a Linux program: cmake --install puts the binary and its man page in place, CPack makes a .deb."""
import gzip
import os
import re
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
        version = subprocess.run([program, "--version"], stdout=subprocess.PIPE, check=True, text=True,
                                 env=dict(os.environ, LANG="C.UTF-8", LANGUAGE="")).stdout.splitlines()
        self.assertEqual(version[0], "tarn 1.51")
        self.assertIn("License MIT", version[2])
        self.assertIn("NO WARRANTY", version[-1])
        page_path = os.path.join(prefix, "share", "man", "man1", "tarn.1.gz")
        with gzip.open(page_path, "rt", encoding="utf-8") as f:
            page = f.read()
        for text in ('.TH tarn 1 "December 2026"', "tarn split", "EXIT STATUS", "no-checksum", "License MIT"):
            self.assertIn(text, page)
        man = shutil.which("man")
        if man:
            shown = subprocess.run([man, "-l", page_path],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=dict(os.environ, MANPAGER="cat"))
            self.assertEqual(shown.returncode, 0, shown.stderr)

        self.check_completion(program, os.path.join(prefix, "share", "bash-completion", "completions", "tarn"))

        subprocess.run([CPACK, "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", self.work],
                       check=True, stdout=subprocess.DEVNULL)
        debs = [name for name in os.listdir(self.work) if name.endswith(".deb")]
        self.assertEqual(len(debs), 1, os.listdir(self.work))
        deb = os.path.join(self.work, debs[0])
        contents = subprocess.run(["dpkg-deb", "-c", deb], stdout=subprocess.PIPE, check=True, text=True).stdout
        self.assertIn("./usr/bin/tarn", contents)
        self.assertIn("./usr/share/man/man1/tarn.1.gz", contents)
        self.assertIn("./usr/share/bash-completion/completions/tarn", contents)
        self.assertIn("./usr/share/doc/tarn/copyright", contents)
        self.assertIn("./usr/share/doc/tarn/changelog.Debian.gz", contents)
        fields = {}
        for field in ("Package", "Version", "Depends", "Description"):
            fields[field] = subprocess.run(["dpkg-deb", "-f", deb, field], stdout=subprocess.PIPE, check=True,
                                           text=True).stdout.strip()
        self.assertEqual(fields["Package"], "tarn")
        self.assertEqual(fields["Version"], "1.51-1")
        self.assertIn("libc6", fields["Depends"])
        self.assertGreater(len(fields["Description"].splitlines()), 1, "a summary and an extended description")
        unpacked = os.path.join(self.work, "unpacked")
        subprocess.run(["dpkg-deb", "-x", deb, unpacked], check=True)
        sections = subprocess.run(["readelf", "-S", os.path.join(unpacked, "usr", "bin", "tarn")],
                                  stdout=subprocess.PIPE, check=True, text=True).stdout
        self.assertNotIn(".debug_info", sections, "the packaged binary is stripped")
        with gzip.open(os.path.join(unpacked, "usr", "share", "man", "man1", "tarn.1.gz"), "rt") as f:
            self.assertIn("EXIT STATUS", f.read())
        # Hardened as Debian's own packages are: full read-only relocations, position-independent.
        dynamic = subprocess.run(["readelf", "-d", "-h", os.path.join(unpacked, "usr", "bin", "tarn")],
                                 stdout=subprocess.PIPE, check=True, text=True).stdout
        self.assertIn("BIND_NOW", dynamic)
        self.assertIn("DYN (Position-Independent Executable file)", dynamic)
        if shutil.which("lintian"):
            found = subprocess.run(["lintian", "--tag-display-limit", "0", deb], stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT, text=True).stdout
            self.assertEqual([line for line in found.splitlines() if line[:2] in ("E:", "W:")], [], found)

    def test_the_demonstration_runs_on_its_own_sample(self):
        # What tools/run.sh runs alone, on a fresh clone: it needs no file of the user's.
        demo = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "demo.sh")
        done = subprocess.run(["bash", demo, os.path.join(BUILD, "tarn"), os.path.join(self.work, "demo")],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stdout)
        self.assertIn("rebuilt from the recovery volumes: samp0003.trn", done.stdout)
        self.assertIn("byte for byte", done.stdout)
        self.assertEqual(sorted(os.listdir(os.path.join(self.work, "demo"))), ["joined", "sample", "sample.bin"])

    def complete(self, script, *words):
        """What Tab offers after the words typed (the last one being completed), run in the work folder."""
        line = 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _tarn; printf "%s\\n" "${COMPREPLY[@]}"'
        done = subprocess.run(["bash", "-c", line, "x", script, "tarn", *words], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True, cwd=self.work, check=True)
        self.assertEqual(done.stderr, "")
        return sorted(filter(None, done.stdout.split("\n")))

    def check_completion(self, program, script):
        self.assertEqual(self.complete(script, "sp"), ["split"])
        # Each command is offered the options its help lists, and those only.
        for command in ("split", "join", "info", "verify", "repair"):
            shown = subprocess.run([program, command, "--help"], stdout=subprocess.PIPE, check=True, text=True).stdout
            listed = set(re.findall(r"^\s+(?:-\w, )?(--[a-z-]+)", shown, re.M)) | {"--help"}
            self.assertEqual(set(self.complete(script, command, "--")), listed, command)
        presets = self.complete(script, "split", "x", "-s", "")
        self.assertIn("dvd", presets)
        # After "=", split off as bash does or kept in the word, and after "help".
        self.assertEqual(self.complete(script, "split", "x", "--size", "=", ""), presets)
        self.assertEqual(self.complete(script, "split", "x", "--size=fl"),
                         sorted("--size=" + p for p in presets if p.startswith("fl")))
        self.assertEqual(self.complete(script, "help", "re"), ["repair"])
        for preset in presets:  # each one a size tarn takes: the split fails only for want of the file
            code = subprocess.run([program, "split", "nosuch", "-s", preset], stderr=subprocess.DEVNULL).returncode
            self.assertEqual(code, 3, preset)
        os.makedirs(os.path.join(self.work, "my set"))
        for name in ("my set/a0001.trn", "b0001.TRN", "b.txt"):
            with open(os.path.join(self.work, name), "w"):
                pass
        self.assertEqual(self.complete(script, "join", ""), ["b0001.TRN", "my set", "prefix"])
        self.assertEqual(self.complete(script, "info", "my"), ["my set"])
        self.assertEqual(self.complete(script, "verify", "my set/"), ["my set/a0001.trn"])
        self.assertIn("b.txt", self.complete(script, "split", "b"))
        self.assertEqual(self.complete(script, "join", "b0001.TRN", "-o", ""), ["-", "my set", "prefix"])
        self.assertEqual(self.complete(script, "split", "b.txt", "-o", ""), ["my set", "prefix"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
