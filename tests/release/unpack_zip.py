#!/usr/bin/env python3
"""Unpacks a release zip into an emptied folder, as a user unpacks it.

    unpack_zip.py ZIP FOLDER
"""
import os
import shutil
import sys
import zipfile

archive, folder = sys.argv[1:3]
shutil.rmtree(folder, ignore_errors=True)
os.makedirs(folder)
with zipfile.ZipFile(archive) as z:
    z.extractall(folder)
print("unpacked %d files into %s" % (len(os.listdir(folder)), folder))
