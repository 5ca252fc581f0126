#!/usr/bin/env python3
"""Writes a dense test mesh: a rippled torus of quads (two triangles each) as OBJ, or
as binary PLY or binary STL, chosen by the output's extension. For measuring qorn-render
on big meshes without committing one.

Usage: scripts/make_dense_mesh.py OUT.obj|OUT.ply|OUT.stl [--triangles N] [--groups G]
  --triangles  about how many triangles (default 1,600,000)
  --groups     OBJ only: split the faces into G "o" groups (default 1)
"""
import argparse
import math
import struct
import sys


def torus(triangles):
    """Vertices and quads of a torus with about `triangles` / 2 quads."""
    quads = max(triangles // 2, 1)
    rings = max(int(math.sqrt(quads / 2.0)), 3)
    segments = max(quads // rings, 3)
    vertices = []
    for r in range(rings):
        u = 2 * math.pi * r / rings
        for s in range(segments):
            v = 2 * math.pi * s / segments
            tube = 0.35 + 0.03 * math.sin(7 * u) * math.sin(5 * v)
            vertices.append(((1 + tube * math.cos(v)) * math.cos(u), tube * math.sin(v),
                             (1 + tube * math.cos(v)) * math.sin(u)))
    faces = []
    for r in range(rings):
        for s in range(segments):
            a = r * segments + s
            b = ((r + 1) % rings) * segments + s
            c = ((r + 1) % rings) * segments + (s + 1) % segments
            d = r * segments + (s + 1) % segments
            faces.append((a, b, c, d))
    return vertices, faces


def write_obj(out, vertices, faces, groups):
    out.write(b"# rippled torus from scripts/make_dense_mesh.py\n")
    out.write("".join("v %.6f %.6f %.6f\n" % v for v in vertices).encode())
    per_group = -(-len(faces) // groups)
    for g in range(groups):
        chunk = faces[g * per_group:(g + 1) * per_group]
        if not chunk:
            break
        if groups > 1:
            out.write(b"o part%d\n" % g)
        out.write("".join("f %d %d %d %d\n" % (a + 1, b + 1, c + 1, d + 1) for a, b, c, d in chunk).encode())


def write_ply(out, vertices, faces):
    out.write(("ply\nformat binary_little_endian 1.0\ncomment rippled torus\n"
               "element vertex %d\nproperty float x\nproperty float y\nproperty float z\n"
               "element face %d\nproperty list uchar int vertex_indices\nend_header\n"
               % (len(vertices), len(faces))).encode())
    out.write(b"".join(struct.pack("<3f", *v) for v in vertices))
    out.write(b"".join(struct.pack("<B4i", 4, *f) for f in faces))


def write_stl(out, vertices, faces):
    # STL holds triangles only: each quad as the fan qorn-render would make of it.
    out.write(b"rippled torus".ljust(80, b" ") + struct.pack("<I", 2 * len(faces)))
    for a, b, c, d in faces:
        for t in ((a, b, c), (a, c, d)):
            out.write(struct.pack("<3f", 0, 0, 0) + b"".join(struct.pack("<3f", *vertices[i]) for i in t) + b"\0\0")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--triangles", type=int, default=1600000)
    parser.add_argument("--groups", type=int, default=1)
    args = parser.parse_args()
    vertices, faces = torus(args.triangles)
    extension = args.out.rsplit(".", 1)[-1].lower()
    with open(args.out, "wb") as out:
        if extension == "obj":
            write_obj(out, vertices, faces, max(args.groups, 1))
        elif extension == "ply":
            write_ply(out, vertices, faces)
        elif extension == "stl":
            write_stl(out, vertices, faces)
        else:
            sys.exit("make_dense_mesh.py: the output must end in .obj, .ply or .stl")
    print("%s: %d vertices, %d triangles" % (args.out, len(vertices), 2 * len(faces)), file=sys.stderr)


if __name__ == "__main__":
    main()
