#!/usr/bin/env python3
"""Writes the bundled example scenes: tetrahedral OBJ bodies, bound surfaces, a texture and scene
description files. Run from the repository root: python3 examples/make_examples.py

A body is a grid of cube cells, each cut into six tetrahedra around its main diagonal, which tile
consistently across neighbouring cells. Every tetrahedron is written as its four outward faces
(counter-clockwise seen from outside) over four vertex lines of its own; coincident vertex lines are
merged when the program loads the file.
"""
import itertools
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def grid_tets(origin, size, cells):
    """Tetrahedra (4 corner points each, positively oriented) filling a box of cells."""
    ox, oy, oz = origin
    hx, hy, hz = (size[k] / cells[k] for k in range(3))
    tets = []
    for i, j, k in itertools.product(range(cells[0]), range(cells[1]), range(cells[2])):
        base = (ox + i * hx, oy + j * hy, oz + k * hz)
        steps = [(hx, 0, 0), (0, hy, 0), (0, 0, hz)]
        for perm in itertools.permutations(range(3)):
            p0 = base
            p1 = tuple(p0[c] + steps[perm[0]][c] for c in range(3))
            p2 = tuple(p1[c] + steps[perm[1]][c] for c in range(3))
            p3 = tuple(p2[c] + steps[perm[2]][c] for c in range(3))
            t = [p0, p1, p2, p3]
            if dot(cross(sub(t[1], t[0]), sub(t[2], t[0])), sub(t[3], t[0])) < 0:
                t[1], t[2] = t[2], t[1]
            tets.append(t)
    return tets


def write_tet_obj(path, tets):
    """Each tetrahedron (a, b, c, d) with positive orientation: outward faces acb, abd, bcd, adc."""
    with open(path, "w") as f:
        f.write("# tetrahedral body: %d tetrahedra, each as its four outward faces\n" % len(tets))
        for t in tets:
            for p in t:
                f.write("v %.6f %.6f %.6f\n" % p)
        for n, t in enumerate(tets):
            a, b, c, d = (4 * n + 1 + k for k in range(4))
            for face, opposite in (((a, c, b), d), ((a, b, d), c), ((b, c, d), a), ((a, d, c), b)):
                pa, pb, pc = (t[v - 4 * n - 1] for v in face)
                po = t[opposite - 4 * n - 1]
                assert dot(cross(sub(pb, pa), sub(pc, pa)), sub(po, pa)) < 0
                f.write("f %d %d %d\n" % face)


def write_box_surface(path, lo, hi, density):
    """Closed box surface, each side a grid of triangles wound outward (about density grid cells
    per unit length), with texture coordinates spanning each side once."""
    verts, tverts, tris = [], [], []
    # side: (axis of the normal, sign); u and v axes chosen so that u x v = sign * normal axis.
    sides = [(0, 1, 1, 2), (0, -1, 2, 1), (1, 1, 2, 0), (1, -1, 0, 2), (2, 1, 0, 1), (2, -1, 1, 0)]
    for axis, sign, ua, va in sides:
        start = len(verts)
        nu = max(1, round((hi[ua] - lo[ua]) * density))
        nv = max(1, round((hi[va] - lo[va]) * density))
        for j in range(nv + 1):
            for i in range(nu + 1):
                p = [0.0, 0.0, 0.0]
                p[axis] = hi[axis] if sign > 0 else lo[axis]
                p[ua] = lo[ua] + (hi[ua] - lo[ua]) * i / nu
                p[va] = lo[va] + (hi[va] - lo[va]) * j / nv
                verts.append(tuple(p))
                tverts.append((i / nu, j / nv))
        for j in range(nv):
            for i in range(nu):
                v00 = start + j * (nu + 1) + i
                v10, v01, v11 = v00 + 1, v00 + nu + 1, v00 + nu + 2
                tris.append((v00, v10, v11))
                tris.append((v00, v11, v01))
    with open(path, "w") as f:
        f.write("# closed box surface bound to the tetrahedra\n")
        for p in verts:
            f.write("v %.6f %.6f %.6f\n" % p)
        for t in tverts:
            f.write("vt %.6f %.6f\n" % t)
        for t in tris:
            f.write("f %d/%d %d/%d %d/%d\n" % (t[0] + 1, t[0] + 1, t[1] + 1, t[1] + 1, t[2] + 1, t[2] + 1))


def write_png(path, w, h, pixel):
    rows = b"".join(b"\x00" + bytes(c for x in range(w) for c in pixel(x, y)) for y in range(h))

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 9)))
        f.write(chunk(b"IEND", b""))


def checker(x, y):
    if ((x // 16) + (y // 16)) % 2:
        return (200, 120, 60)
    return (235, 210, 160)


def scene_string(s):
    return "%d %s" % (len(s), s)


def write_scene(path, tet_file, material, threshold, surface, textures, draw_tets):
    """Scene description in the text-archive token order the program reads: header, drawTets, the
    tet mesh (file, E, nu, threshold, yield, max, creep), the bound mesh (file, material name,
    texture list), the object list and the spring list (both empty here)."""
    E, nu, yield_, pmax, creep = material
    tokens = ["22 serialization::archive 6", "0 0", "1" if draw_tets else "0",
              "0 0", scene_string(tet_file),
              repr(E), repr(nu), repr(threshold), repr(yield_), repr(pmax), repr(creep),
              "0 0", scene_string(surface),
              "0 0", scene_string(""),
              "0 0", str(len(textures)), "0"] + [scene_string(t) for t in textures] + [
              "0 0 0 0",
              "0 0 0 0"]
    with open(path, "w") as f:
        f.write(" ".join(tokens) + "\n")


def main():
    os.chdir(os.path.dirname(HERE))
    # A cantilever beam along z, pinned where its rest z <= -3: stiff enough to bend visibly under
    # gravity, then creeps plastically and breaks at the root within a few seconds. One cell across,
    # so that every tetrahedron carries part of the bound surface.
    beam = grid_tets((-0.5, 2.0, -3.5), (1.0, 1.0, 6.0), (1, 1, 24))
    write_tet_obj("examples/beam_tets.obj", beam)
    write_box_surface("examples/beam_surface.obj", (-0.45, 2.05, -3.45), (0.45, 2.95, 2.45), 8)
    write_png("examples/checker.png", 128, 128, checker)
    write_scene("examples/beam.scene", "examples/beam_tets.obj",
                (2.0e6, 0.1, 0.001, 100.0, 2.0), 3.0e5,
                "examples/beam_surface.obj", ["examples/checker.png"], False)
    # A thin slab for the two-file form (default soft material): pinned along its back edge, it
    # hangs down like cloth and tears.
    slab = grid_tets((-2.0, 2.0, -3.5), (4.0, 0.5, 5.0), (8, 1, 10))
    write_tet_obj("examples/slab_tets.obj", slab)
    write_box_surface("examples/slab_surface.obj", (-1.95, 2.05, -3.45), (1.95, 2.45, 1.45), 8)
    print("beam: %d tetrahedra, slab: %d tetrahedra" % (len(beam), len(slab)))


if __name__ == "__main__":
    main()
