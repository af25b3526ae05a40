#!/usr/bin/env python3
"""Builds a deterministic synthetic folder tree of sparse files.

make_tree.py ROOT FOLDERS FILES
Folder i (i >= 1) lives in folder (i - 1) // 8, so the tree is about five
levels deep; files are spread evenly; sizes come from a fixed seed: most are
small, one in forty is 5 to 60 MB. Nothing takes real disk space.
"""
import os
import random
import sys

root, folders, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
marker = os.path.join(root, 'complete')
if os.path.exists(marker):
    sys.exit(0)
rng = random.Random(1234)
paths = [os.path.join(root, 'tree')]
os.makedirs(paths[0], exist_ok=True)
for i in range(1, folders):
    path = os.path.join(paths[(i - 1) // 8], 'folder%05d' % i)
    os.makedirs(path, exist_ok=True)
    paths.append(path)
for n in range(files):
    size = rng.randint(5, 60) << 20 if rng.random() < 0.025 else rng.randint(0, 200000)
    with open(os.path.join(paths[n % folders], 'file%06d.dat' % n), 'wb') as f:
        f.truncate(size)
open(marker, 'w').close()
