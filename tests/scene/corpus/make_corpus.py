#!/usr/bin/env python3
"""Writes the scene files of this folder: small valid scenes (fuzzer seeds) and malformed ones
that the loader must reject (regression cases; scene_validation_test.cpp lists their messages).
Files that the fuzzer finds are added beside them by hand, not by this script."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def u32(*values):
    return struct.pack('<%dI' % len(values), *values)


def f32(*values):
    return struct.pack('<%df' % len(values), *values)


def mesh(faces, positions, transforms=0, surface=None):
    """faces: (i0, i1, i2, word) tuples; positions: (x, y, z) tuples."""
    out = u32(0xDEADBEEF, len(faces))
    for face in faces:
        out += u32(*face)
    out += u32(len(positions))
    for p in positions:
        out += f32(*p)
    out += f32(*[0.5 * n for n in range(len(positions))])
    for block in (0, 1):
        for n in range(len(faces)):
            out += f32(block, n, 0.25, 1.0) if surface is None else surface
    out += u32(transforms)
    for t in range(transforms):
        out += f32(*[float(t * 16 + n) for n in range(16)])
    return out


def camera(frames=0):
    out = f32(60.0, 1.0, 2.0, 0, 0, 5, 0, 0, -1, 0, 1, 0) + u32(frames)
    for n in range(frames):
        out += f32(*[float(n * 16 + k) for k in range(16)])
    return out


def light(frames=0):
    out = f32(*[float(n) for n in range(19)]) + u32(frames)
    for n in range(frames):
        out += f32(*[float(n * 16 + k) for k in range(16)])
    return out


TRIANGLE = [(0, 1, 2, 0)]
TRIANGLE_POSITIONS = [(0, 0, 0), (1, 0, 0), (0, 1, 0)]


def scene(meshes, cameras, lights):
    return u32(len(meshes)) + b''.join(meshes) + u32(len(cameras)) + b''.join(cameras) + \
        u32(len(lights)) + b''.join(lights)


def grid_mesh(size):
    positions = [(float(x), float(y), float((x * y) % 3)) for y in range(size + 1) for x in range(size + 1)]
    faces = []
    for y in range(size):
        for x in range(size):
            a = y * (size + 1) + x
            faces.append((a, a + 1, a + size + 1, (len(faces) % 7) << 16))
            faces.append((a + 1, a + size + 2, a + size + 1, (len(faces) % 7) << 16 | 0xFFFF))
    return mesh(faces, positions, transforms=2)


ONE_TRIANGLE = scene([mesh(TRIANGLE, TRIANGLE_POSITIONS)], [camera()], [light()])

FILES = {
    # Valid seeds.
    'valid_one_triangle.vxs': ONE_TRIANGLE,
    'valid_empty_scene.vxs': u32(0, 0, 0),
    'valid_frames_and_trailing_bytes.vxs':
        scene([mesh(TRIANGLE, TRIANGLE_POSITIONS + [(2, 2, 2)], transforms=3), mesh([], [(1, 1, 1)])],
              [camera(2), camera()], [light(1)]) + b'trailing',
    'valid_grid.vxs': scene([grid_mesh(5)], [camera(1)], [light(1)]),
    # Malformed: every one is rejected with its own message.
    'empty.vxs': b'',
    'short_mesh_count.vxs': b'\x01\x00',
    'huge_mesh_count.vxs': u32(0xFFFFFFFF) + ONE_TRIANGLE[4:],
    'too_many_meshes.vxs': scene([mesh([], [])] * 33, [], []),
    'huge_face_count.vxs': u32(1, 0, 0xFFFFFFFF) + u32(0) * 8,
    'huge_vertex_count.vxs': u32(1, 0, 0, 0xFFFFFFFF) + u32(0) * 8,
    'short_surface_records.vxs': ONE_TRIANGLE[:4 + 8 + 16 + 4 + 36 + 12 + 16 + 8],
    'huge_transform_count.vxs': u32(1, 0, 0, 0, 0xFFFFFFFF) + u32(0) * 16,
    'missing_camera_count.vxs': u32(1) + mesh([], []),
    'huge_camera_count.vxs': u32(0, 0xFFFFFFFF) + u32(0) * 20,
    'huge_camera_frame_count.vxs': u32(0, 1) + f32(*[0.0] * 12) + u32(0xFFFFFFFF) + u32(0) * 16,
    'huge_light_count.vxs': u32(0, 0, 0xFFFFFFFF) + u32(0) * 20,
    'huge_light_frame_count.vxs': u32(0, 0, 1) + f32(*[0.0] * 19) + u32(0x04000000) + u32(0) * 16,
    'missing_light_count.vxs': u32(0, 1) + camera(),
    'vertex_index_out_of_range.vxs': scene([mesh([(0, 1, 2, 0), (0, 3, 1, 0)], TRIANGLE_POSITIONS)], [], []),
    'surface_index_out_of_range.vxs':
        scene([mesh([(0, 1, 2, 0), (0, 2, 1, 0x00020000)], TRIANGLE_POSITIONS)], [], []),
    'short_light_record.vxs': u32(0, 0, 1) + f32(*[0.0] * 10),
}

if __name__ == '__main__':
    for name, data in FILES.items():
        with open(os.path.join(HERE, name), 'wb') as out:
            out.write(data)
