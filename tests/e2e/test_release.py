"""The release: the same bytes from every build of a commit, SHA256SUMS, and
an Authenticode signature that keeps the program as it was."""

import hashlib
import os
import re
import shutil
import struct
import subprocess
import tempfile
import time
import unittest
import zipfile
from pathlib import Path

from bed import MachineTest
import winebed as wb
from test_image import pe_resources



def source_files():
    """The project's files, as a clone of this tree would hold them."""
    out = subprocess.run(["git", "ls-files", "-co", "--exclude-standard"], cwd=wb.ROOT,
                         capture_output=True, text=True, check=True).stdout
    return [name for name in out.splitlines() if (wb.ROOT / name).is_file()]


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def build_setup(source_root, build_dir):
    for name in source_files():
        (source_root / name).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(wb.ROOT / name, source_root / name)
    subprocess.run(["cmake", "-S", str(source_root), "-B", str(build_dir),
                    "-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake"],
                   check=True, stdout=subprocess.DEVNULL, cwd=source_root)
    subprocess.run(["cmake", "--build", str(build_dir), "--target", "setup"],
                   check=True, stdout=subprocess.DEVNULL)
    return build_dir / "bin" / "setup.exe"


class Reproducible(unittest.TestCase):
    def test_two_builds_in_other_folders_give_the_same_bytes(self):
        with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
            first = build_setup(Path(a) / "src", Path(a) / "out")
            time.sleep(1.5)  # a later clock, too
            second_root = Path(b) / "some" / "other place"
            second_root.mkdir(parents=True)
            second = build_setup(second_root, Path(b) / "build-2")
            self.assertEqual(sha256(first), sha256(second))
            self.assertEqual(sha256(first), sha256(wb.SETUP_EXE))
            self.assertNotIn(a.encode(), first.read_bytes())
            # The shipped zip, with the patch package, from each build.
            zips = []
            for build in (Path(a) / "out", Path(b) / "build-2"):
                subprocess.run([str(wb.ROOT / "tools" / "package"), str(build)],
                               env=dict(os.environ, MSP=str(wb.patch_package())), check=True,
                               stdout=subprocess.DEVNULL)
                zips.append(build / "TallowickServer14v3Update.zip")
                time.sleep(1.5)
            self.assertEqual(sha256(zips[0]), sha256(zips[1]))
            with zipfile.ZipFile(zips[0]) as z:  # one folder of its own
                top = "TallowickServer14v3Update/"
                self.assertEqual([n for n in z.namelist() if "/deploy/" not in n], [
                    top + n for n in ("", "Files/", "Files/" + wb.PACKAGE_NAME, "SHA256SUMS",
                                      "setup.exe")])
                self.assertIn(top + "deploy/update.ps1", z.namelist())
                self.assertEqual(z.read(top + "Files/" + wb.PACKAGE_NAME),
                                 wb.patch_package().read_bytes())


class Signing(MachineTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tmp = Path(tempfile.mkdtemp())
        key, cert = cls.tmp / "key.pem", cls.tmp / "cert.pem"
        (cls.tmp / "pass").write_text("throw-away\n")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                        "-keyout", str(key), "-out", str(cert), "-days", "2",
                        "-subj", "/CN=Tallowick test signer",
                        "-addext", "extendedKeyUsage=codeSigning"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["openssl", "pkcs12", "-export", "-out", str(cls.tmp / "cert.pfx"),
                        "-inkey", str(key), "-in", str(cert),
                        "-passout", "file:" + str(cls.tmp / "pass")], check=True)
        cls.build = cls.tmp / "build"
        (cls.build / "bin").mkdir(parents=True)
        shutil.copyfile(wb.SETUP_EXE, cls.build / "bin" / "setup.exe")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def package(self, **sign):
        env = dict(os.environ)
        env.update(sign)
        return subprocess.run([str(wb.ROOT / "tools" / "package"), str(self.build)], env=env,
                              check=True, capture_output=True, text=True).stdout

    def test_no_room_for_the_digest_writes_nothing(self):
        image = bytearray(wb.SETUP_EXE.read_bytes())
        pe = struct.unpack_from("<I", image, 0x3C)[0]
        count, optional = struct.unpack_from("<H", image, pe + 6)[0], image[pe + 20]
        # One more (empty) section and SizeOfHeaders 8 bytes past it: the digest
        # would land on the section table, in bytes that are zeros.
        table_end = pe + 24 + optional + 40 * count
        struct.pack_into("<H", image, pe + 6, count + 1)
        struct.pack_into("<I", image, pe + 24 + 60, table_end + 48)
        crowded = self.tmp / "crowded.exe"
        crowded.write_bytes(image)
        stamp = subprocess.run([str(wb.ROOT / "tools" / "pe_digest"), "stamp", str(crowded),
                                str(wb.patch_package())], capture_output=True)
        self.assertNotEqual(stamp.returncode, 0)
        self.assertEqual(crowded.read_bytes(), image)

    def test_unsigned_package_says_so_and_lists_its_hash(self):
        self.package(MSP=str(wb.patch_package()))  # then one without: no zip of the earlier
        out = self.package()
        self.assertFalse((self.build / "TallowickServer14v3Update.zip").exists())
        self.assertIn("not signed", out)
        sums = (self.build / "package" / "SHA256SUMS").read_text()
        self.assertEqual(sums.splitlines()[0], "%s  setup.exe" % sha256(wb.SETUP_EXE))
        self.assertTrue((self.build / "package" / "Files").is_dir())
        self.assertEqual(list((self.build / "package" / "Files").iterdir()), [])

    def test_signed_builds_are_reproducible_and_the_signature_comes_off(self):
        # No timestamp server: the signing time is the commit's, so the same
        # inputs give the same bytes, a second later too.
        sign = dict(SIGN_PFX=str(self.tmp / "cert.pfx"), SIGN_PASS_FILE=str(self.tmp / "pass"),
                    MSP=str(wb.patch_package()))
        builds = []
        for _ in range(2):
            self.package(**sign)
            builds.append((sha256(self.build / "package" / "setup.exe"),
                           sha256(self.build / "TallowickServer14v3Update.zip")))
            time.sleep(1.1)
        self.assertEqual(builds[0], builds[1])
        self.assertNotEqual(builds[0][0], sha256(wb.SETUP_EXE))
        signed = self.build / "package" / "setup.exe"
        show = subprocess.run([str(wb.ROOT / "tools" / "pe_digest"), "show", str(signed)],
                              capture_output=True, text=True, check=True).stdout.strip()
        self.assertEqual(show, sha256(wb.patch_package()))
        sums = (self.build / "package" / "SHA256SUMS").read_text().splitlines()
        self.assertEqual(sums[:2], ["%s  Files/%s" % (show, wb.PACKAGE_NAME),
                                    "%s  setup.exe" % sha256(signed)])
        # One byte of the stamp changed: the signature no longer holds.
        image = bytearray(signed.read_bytes())
        image[image.index(bytes.fromhex(show))] ^= 1
        forged = self.tmp / "forged.exe"
        forged.write_bytes(image)
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", str(self.tmp / "cert.pem"),
                                 "-in", str(forged)], capture_output=True, text=True)
        self.assertNotEqual(verify.returncode, 0, verify.stdout)
        # What a timestamped file is checked by: without its signature it is
        # the unsigned build of the same commit, byte for byte.
        stripped = self.tmp / "stripped.exe"
        subprocess.run(["osslsigncode", "remove-signature", "-in",
                        str(self.build / "package" / "setup.exe"), "-out", str(stripped)],
                       check=True, stdout=subprocess.DEVNULL)
        self.package(MSP=str(wb.patch_package()))
        self.assertEqual(sha256(stripped), sha256(self.build / "package" / "setup.exe"))

    def test_signed_package_verifies_keeps_its_manifest_and_runs(self):
        sign = dict(SIGN_PFX=str(self.tmp / "cert.pfx"), SIGN_PASS_FILE=str(self.tmp / "pass"))
        with self.assertRaises(subprocess.CalledProcessError):  # never signed without its digest
            self.package(**sign)
        out = self.package(MSP=str(wb.patch_package()), **sign)
        self.assertIn("signed", out)
        fingerprint = subprocess.run(["openssl", "x509", "-noout", "-fingerprint", "-sha1", "-in",
                                      str(self.tmp / "cert.pem")], capture_output=True, text=True)
        self.assertIn("thumbprint, for the release notes: " +
                      fingerprint.stdout.split("=")[1].strip().replace(":", ""), out)
        self.assertEqual(sorted(p.name for p in (self.build / "package").iterdir()),
                         ["Files", "SHA256SUMS", "deploy", "setup.exe"])  # nothing unsigned beside
        signed = self.build / "package" / "setup.exe"
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", str(self.tmp / "cert.pem"),
                                 "-in", str(signed)], capture_output=True, text=True)
        self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)
        self.assertIn("Signature verification: ok", verify.stdout)
        self.assertRegex(verify.stdout, r"Message digest algorithm\s*: SHA256")
        sums = (self.build / "package" / "SHA256SUMS").read_text().splitlines()
        self.assertEqual(sums[1], "%s  setup.exe" % sha256(signed))
        for script in ("deploy/update.ps1", "deploy/configmgr/New-TallowickUpdateApplication.ps1"):
            path = self.build / "package" / script
            verify = subprocess.run(["osslsigncode", "verify", "-CAfile", str(self.tmp / "cert.pem"),
                                     "-in", str(path)], capture_output=True, text=True)
            self.assertEqual(verify.returncode, 0, script + verify.stdout + verify.stderr)
            self.assertRegex(verify.stdout, r"Message digest algorithm\s*: SHA256")
            self.assertIn("%s  %s" % (sha256(path), script), sums)
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(signed)],
                              capture_output=True, text=True, check=True).stdout
        security = re.search(r"Entry 4 ([0-9a-f]+) ([0-9a-f]+)\s+Security Directory", dump)
        self.assertTrue(security and int(security.group(2), 16) > 0, "no certificate table")
        resources = pe_resources(signed.read_bytes())
        self.assertEqual([(r[0], r[1]) for r in resources], [(24, 1)])
        self.assertEqual(resources[0][3], (wb.ROOT / "res" / "setup.manifest").read_bytes())

        package = wb.make_package(wb.DRIVE_C / "Signed")
        shutil.copyfile(signed, package / "setup.exe")
        run = wb.run_setup("C:\\Signed\\setup.exe")
        self.assertExit(run, 1)
        self.assertIsNotNone(run.box)
        wb.install_product("14.0.2.226")
        run = wb.run_setup("C:\\Signed\\setup.exe /qn")
        self.assertExit(run, 0)
        self.assertTrue(run.launched)


if __name__ == "__main__":
    unittest.main()
