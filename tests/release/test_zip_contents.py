#!/usr/bin/env python3
"""The release zip of one target, read from its list and its binaries: every
file the program or its tools load is in it or is Windows' own (or an optional
vendor file the readme names), no test program or test-only stand-in is, each
binary is of the target's machine, each third-party licence is there with where
its source is, and the debugging information sits in the symbols zip, linked
from each stripped binary.

    test_zip_contents.py ZIP SYMBOLS_ZIP win32|win64 SOURCE_DIR BIN_DIR
"""
import os
import re
import struct
import sys
import unittest
import zipfile
import zlib

ZIP, SYMBOLS_ZIP, PLATFORM, SOURCE_DIR, BIN_DIR = sys.argv[1:6]
del sys.argv[1:6]

PROGRAM_FILES = {"Vantorin.exe", "ffmpeg.exe", "vantorinaudio.exe", "vantoringain.exe",
                 "MediaInfo.dll", "userhttplib.dll", "readme.txt"}
# Built here with debugging information; the other binaries come stripped.
OWN_BINARIES = {"Vantorin.exe", "vantorinaudio.exe", "vantoringain.exe", "userhttplib.dll"}
# Beside the exe only when the user has them; the readme says so.
OPTIONAL_VENDOR_FILES = {"libasr.dll", "autoupdate.exe", "autoupdatetmp.exe"}
LICENCES = ["ffmpeg", "lame", "curl", "jsoncpp", "zlib-minizip", "speexdsp", "MediaInfoLib", "ZenLib",
            "stb_image", "mingw-w64-runtime"]
# What Windows itself provides (compared in lower case).
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
    "comdlg32.dll", "comctl32.dll", "shlwapi.dll", "ws2_32.dll", "crypt32.dll", "secur32.dll", "bcrypt.dll",
    "wldap32.dll", "normaliz.dll", "msvcrt.dll", "imm32.dll", "version.dll", "winmm.dll", "msimg32.dll",
    "riched20.dll", "dbghelp.dll", "ntdll.dll", "iphlpapi.dll", "psapi.dll", "userenv.dll", "uxtheme.dll",
    "dwmapi.dll", "rpcrt4.dll", "wininet.dll", "urlmon.dll", "mshtml.dll", "oleacc.dll", "shcore.dll",
    "iexplore.exe", "cmd.exe", "explorer.exe", "rundll32.exe", "notepad.exe", "avicap32.dll", "avifil32.dll",
    "msacm32.dll", "setupapi.dll", "cfgmgr32.dll", "dnsapi.dll", "ncrypt.dll", "wtsapi32.dll", "powrprof.dll",
    "kernelbase.dll", "ucrtbase.dll", "mscoree.dll", "atl.dll", "gdiplus.dll", "d3d9.dll", "d3d11.dll",
    "dxgi.dll", "opengl32.dll", "mfplat.dll", "mf.dll", "mfreadwrite.dll", "strmiids.dll", "ksuser.dll",
    "security.dll",
}
# The GCC runtime asks whether its own DLL is loaded, to share frame
# registration with it; a static build runs without it.
RUNTIME_PROBES = {"libgcc_s_dw2-1.dll", "libgcc_s_seh-1.dll"}


def is_system(name):
    lower = name.lower()
    return lower in SYSTEM_DLLS or lower.startswith("api-ms-win-") or lower.startswith("ext-ms-")


class Pe:
    """The parts of a PE file the test reads: machine, sections, imports."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (112 if magic == 0x20B else 96)
        self.directory = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            raw_name, vsize, vaddr, rsize, rptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            name = raw_name.rstrip(b"\0").decode("latin-1")
            if name.startswith("/"):  # a long name, held in the string table
                symbols, count = struct.unpack_from("<II", data, pe + 12)
                at = symbols + 18 * count + int(name[1:])
                name = data[at:data.index(b"\0", at)].decode("latin-1")
            self.sections.append((name, vaddr, max(vsize, rsize), rptr, rsize))

    def section(self, wanted):
        for name, _, _, rptr, rsize in self.sections:
            if name == wanted:
                return self.data[rptr:rptr + rsize]
        return None

    def offset(self, rva):
        for _, vaddr, size, rptr, _ in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + rptr
        raise ValueError("address %#x is in no section" % rva)

    def _names(self, index, entry_size, name_field):
        rva, _ = self.directory[index]
        names = []
        if rva == 0:
            return names
        at = self.offset(rva)
        while True:
            entry = self.data[at:at + entry_size]
            if entry == b"\0" * entry_size:
                return names
            name_rva = struct.unpack_from("<I", entry, name_field)[0]
            start = self.offset(name_rva)
            names.append(self.data[start:self.data.index(b"\0", start)].decode("latin-1"))
            at += entry_size

    def imports(self):
        return self._names(1, 20, 12)

    def delayed_imports(self):
        return self._names(13, 32, 4)


def named_files(data):
    """Every "x.exe"/"x.dll" a binary names, in its narrow and wide strings.
    The debug link's "x.dll.debug" names the symbols file, not a file the
    binary loads; whatever bytes happen to stand before it would glue on."""
    pattern = rb"[A-Za-z0-9_.-]+\.(?:exe|dll)\b(?!\.debug)"
    names = set(re.findall(pattern, data, re.I))
    # A wide string starts after padding or another one's terminator.
    for run in re.findall(rb"(?<=\x00\x00)(?:[\x20-\x7e]\x00){5,}", data):
        names.update(re.findall(pattern, run.decode("utf-16-le").encode(), re.I))
    return {n.decode("latin-1") for n in names}


class ReleaseZipTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(ZIP):
            raise FileNotFoundError("%s is missing: scripts/release writes it" % ZIP)
        cls.zip = zipfile.ZipFile(ZIP)
        cls.names = cls.zip.namelist()
        cls.symbols = zipfile.ZipFile(SYMBOLS_ZIP)

    def read(self, name):
        return self.zip.read(name)

    def test_holds_the_program_files_and_no_test_program(self):
        top = {n for n in self.names if "/" not in n}
        self.assertEqual(PROGRAM_FILES, top)
        # Everything else the build made beside the program: test programs,
        # test-only stand-ins. None of it may ship.
        built = {n for n in os.listdir(BIN_DIR) if n.lower().endswith((".exe", ".dll"))}
        self.assertIn("libasr.dll", built)
        self.assertIn("AutoUpdate.exe", built)
        leaked = {n for n in self.names if os.path.basename(n) in built - PROGRAM_FILES}
        self.assertEqual(set(), leaked)
        self.assertTrue(all(n == "readme.txt" or n in PROGRAM_FILES or n.startswith("licences/")
                            for n in self.names), self.names)

    def binaries(self):
        return [n for n in self.names if "/" not in n and n.lower().endswith((".exe", ".dll"))]

    def test_binaries_are_of_the_target_machine(self):
        machine = {"win32": 0x14C, "win64": 0x8664}[PLATFORM]
        for name in self.binaries():
            with self.subTest(name=name):
                self.assertEqual(machine, Pe(self.read(name)).machine)

    def test_everything_loaded_is_in_the_zip_or_windows_own(self):
        shipped = {n.lower() for n in self.binaries()}
        for name in self.binaries():
            pe = Pe(self.read(name))
            with self.subTest(name=name):
                # Imports resolved at start must all be there, or the program
                # never starts; only optional vendor DLLs may be delay-loaded.
                for dll in pe.imports():
                    self.assertTrue(dll.lower() in shipped or is_system(dll), "%s imports %s" % (name, dll))
                for dll in pe.delayed_imports():
                    self.assertTrue(dll.lower() in shipped or is_system(dll) or
                                    dll.lower() in OPTIONAL_VENDOR_FILES, "%s delay-loads %s" % (name, dll))
                # Files our own binaries start or load by name at run time
                # (the third-party ones name other programs' files in tables).
                if name not in OWN_BINARIES:
                    continue
                for named in named_files(self.read(name)) - RUNTIME_PROBES:
                    lower = named.lower()
                    self.assertTrue(lower in shipped or is_system(named) or lower in OPTIONAL_VENDOR_FILES,
                                    "%s names %s" % (name, named))

    def test_program_starts_without_the_optional_vendor_dlls(self):
        pe = Pe(self.read("Vantorin.exe"))
        imported = {d.lower() for d in pe.imports()}
        self.assertEqual(set(), imported & OPTIONAL_VENDOR_FILES)
        # Still reached at its first call (the delay-load descriptor names it).
        self.assertIn("libasr.dll", {n.lower() for n in named_files(self.read("Vantorin.exe"))})
        self.assertIn("userhttplib.dll", imported)

    def test_each_licence_is_there_with_its_source(self):
        for component in LICENCES:
            with self.subTest(component=component):
                files = [n for n in self.names if n.startswith("licences/%s/" % component)]
                source = "licences/%s/SOURCE.txt" % component
                self.assertIn(source, files)
                self.assertIn(b"https://", self.read(source))
                texts = [n for n in files if n != source]
                self.assertTrue(texts, "no licence text")
                self.assertTrue(all(len(self.read(n)) > 200 for n in texts), texts)
        folders = {n.split("/")[1] for n in self.names if n.startswith("licences/")}
        self.assertEqual(set(LICENCES), folders)

    def test_ffmpeg_is_the_lgpl_build(self):
        ffmpeg = self.read("ffmpeg.exe")
        self.assertIn(b"LGPL version 2.1 or later", ffmpeg)
        self.assertNotIn(b"--enable-gpl", ffmpeg)
        self.assertIn(b"--enable-libmp3lame", ffmpeg)
        self.assertIn(b"GNU LESSER GENERAL PUBLIC LICENSE", self.read("licences/ffmpeg/COPYING.LGPLv2.1"))
        self.assertIn(b"--disable-network", self.read("licences/ffmpeg/SOURCE.txt"))

    def test_readme_names_the_address_settings_and_vendor_files(self):
        readme = self.read("readme.txt").decode("utf-8")
        self.assertNotIn("\n", readme.replace("\r\n", ""), "lines must end in CRLF")
        # Every address setting the program and its client library read.
        keys = set()
        for folder in ("foundation", "recognition", "app", "standins/userhttplib"):
            for root, _, files in os.walk(os.path.join(SOURCE_DIR, folder)):
                for f in files:
                    if f.endswith((".cpp", ".h")):
                        with open(os.path.join(root, f), encoding="utf-8", errors="replace") as source:
                            keys.update(re.findall(r'L"([A-Z]\w*Url)"', source.read()))
        self.assertTrue({"UpdateUrl", "UploadLogUrl", "UserServiceUrl"} <= keys, keys)
        for key in sorted(keys | {"AppName", "SpeechCaFile", "Debug"}):
            self.assertRegex(readme, r"(?m)^%s\s" % key)
        for vendor in ("libasr.dll", "AutoUpdate.exe"):
            self.assertIn(vendor, readme)
        self.assertIn("config.ini", readme)
        self.assertIn("Vantorin.log", readme)

    def test_debug_information_is_in_the_symbols_zip_and_linked(self):
        self.assertEqual({n + ".debug" for n in OWN_BINARIES}, set(self.symbols.namelist()))
        for name in self.binaries():
            pe = Pe(self.read(name))
            with self.subTest(name=name):
                self.assertIsNone(pe.section(".debug_info"), "debugging information left in")
                if name not in OWN_BINARIES:
                    continue
                link = pe.section(".gnu_debuglink")
                self.assertIsNotNone(link)
                linked = link[:link.index(b"\0")].decode()
                self.assertEqual(name + ".debug", linked)
                crc_at = (len(linked) + 4) // 4 * 4
                debug = self.symbols.read(linked)
                self.assertEqual(zlib.crc32(debug), struct.unpack_from("<I", link, crc_at)[0])
                self.assertIsNotNone(Pe(debug).section(".debug_info"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
