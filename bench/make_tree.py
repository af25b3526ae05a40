#!/usr/bin/env python3
"""Builds a deterministic synthetic folder tree of sparse files.

make_tree.py ROOT FOLDERS FILES
Folder i (i >= 1) lives in folder (i - 1) // 8, so the tree is about five
levels deep; files are spread evenly; sizes come from a fixed seed: most are
small, one in forty is 5 to 60 MB. Nothing takes real disk space.

make_tree.py ROOT grid WIDTH LEVELS
A regular tree: the top folder holds WIDTH folders, each of those WIDTH
more, LEVELS levels down (67 and 3: 67**3 = 300,763 folders at the bottom,
305,320 in all). Every folder, the top one included, holds one file, with
sizes from the same fixed seed and rule, made top down in name order.

make_tree.py ROOT FOLDERS FILES data
The same tree, but every file holds its first byte, so it takes a cluster
on disk, and every tenth file has a second name (a hard link) in the next
folder: the tree for the measure of the space on disk.

The tree is made under ROOT/tree; ROOT/complete marks a finished tree, which
is then left as it is.
"""
import os
import random
import sys


def sparse_file(path, size, data=False):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        if data and size > 0:
            os.write(fd, b'x')
        os.ftruncate(fd, size)
    finally:
        os.close(fd)


def file_size(rng):
    return rng.randint(5, 60) << 20 if rng.random() < 0.025 else rng.randint(0, 200000)


def spread_tree(top, folders, files, rng, data=False):
    paths = [top]
    for i in range(1, folders):
        path = os.path.join(paths[(i - 1) // 8], 'folder%05d' % i)
        os.makedirs(path, exist_ok=True)
        paths.append(path)
    for n in range(files):
        path = os.path.join(paths[n % folders], 'file%06d.dat' % n)
        sparse_file(path, file_size(rng), data)
        if data and n % 10 == 0:
            os.link(path, os.path.join(paths[(n + 1) % folders], 'link%06d.dat' % n))


def grid_tree(top, width, levels, rng):
    level = [top]
    n = 0
    for depth in range(levels + 1):
        below = []
        for folder in level:
            sparse_file(os.path.join(folder, 'file%07d.dat' % n), file_size(rng))
            n += 1
            if depth < levels:
                for i in range(width):
                    path = os.path.join(folder, 'folder%03d' % i)
                    os.makedirs(path, exist_ok=True)
                    below.append(path)
        level = below


def main(argv):
    root = argv[1]
    marker = os.path.join(root, 'complete')
    if os.path.exists(marker):
        return
    rng = random.Random(1234)
    top = os.path.join(root, 'tree')
    os.makedirs(top, exist_ok=True)
    if argv[2] == 'grid':
        grid_tree(top, int(argv[3]), int(argv[4]), rng)
    else:
        spread_tree(top, int(argv[2]), int(argv[3]), rng, len(argv) > 4 and argv[4] == 'data')
    open(marker, 'w').close()


main(sys.argv)
