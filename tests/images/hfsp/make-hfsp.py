#!/usr/bin/env python3
"""A small HFS+ / HFSX image builder for the tests (no Debian tool makes HFS+ here).

Writes a volume header (and its alternate copy), an allocation bitmap, an extents overflow
B-tree (header node, leaf node) and a catalog B-tree (header node, an index node, leaf nodes
linked left to right, thread records for every folder and file). The catalog file is spread over
nine one-node extents: eight in the volume header, the ninth in the overflow file. "big.bin" has
ten extents, its last two in an overflow record. A catalog node that the header's map marks free
and no index points to still holds the file record of "deleted.jpg", whose blocks are free in
the bitmap but still hold its bytes. Every live file also lands under <image>.expected/ and the
deleted one under <image>.deleted/, for the tests to compare with.

usage: make-hfsp.py IMAGE BLOCK_SIZE NODE_SIZE H+|HX
"""
import os
import random
import struct
import sys

image, block_size, node_size, signature = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
rng = random.Random(6)
total_blocks = (8 * 1024 * 1024) // block_size
vol = bytearray(total_blocks * block_size)
used = set()
next_free = [1]

HFS_EPOCH = 2082844800
T_CREATE = 1600000000 + HFS_EPOCH
T_MOD = 1650000000 + HFS_EPOCH
T_ACCESS = 1660000000 + HFS_EPOCH


def alloc(count, gap=0):
    next_free[0] += gap
    start = next_free[0]
    next_free[0] += count
    assert next_free[0] < total_blocks
    for b in range(start, start + count):
        used.add(b)
    return start


def put(block, data):
    off = block * block_size
    vol[off:off + len(data)] = data


def u16(v): return struct.pack('>H', v)
def u32(v): return struct.pack('>I', v)
def u64(v): return struct.pack('>Q', v)


def fork(logical, blocks, extents):
    ext = b''.join(u32(s) + u32(c) for s, c in extents[:8])
    ext += b'\0' * (64 - len(ext))
    return u64(logical) + u32(0) + u32(blocks) + ext


def utf16(name):
    return name.encode('utf-16-be')


def cat_key(parent, name):
    n = utf16(name)
    return u16(6 + len(n)) + u32(parent) + u16(len(n) // 2) + n


def perms(mode):
    return u32(0) + u32(0) + bytes([0, 0]) + u16(mode) + u32(0)


def folder_record(cnid, valence):
    r = u16(1) + u16(0) + u32(valence) + u32(cnid) + u32(T_CREATE) + u32(T_MOD) + u32(T_MOD) + u32(T_ACCESS) + u32(0)
    r += perms(0o40755) + b'\0' * 16 + b'\0' * 16 + u32(0) + u32(0)
    assert len(r) == 88
    return r


def file_record(cnid, logical, blocks, extents):
    r = u16(2) + u16(2) + u32(0) + u32(cnid) + u32(T_CREATE) + u32(T_MOD) + u32(T_MOD) + u32(T_ACCESS) + u32(0)
    r += perms(0o100644) + b'\0' * 16 + b'\0' * 16 + u32(0) + u32(0)
    r += fork(logical, blocks, extents) + fork(0, 0, [])
    assert len(r) == 248
    return r


def thread_record(kind, parent, name):
    n = utf16(name)
    return u16(kind) + u16(0) + u32(parent) + u16(len(n) // 2) + n


def node(kind, height, records, flink=0, blink=0):
    body = bytearray(u32(flink) + u32(blink) + struct.pack('>bBHH', kind, height, len(records), 0))
    offsets = []
    for rec in records:
        offsets.append(len(body))
        body += rec
        if len(body) % 2:
            body += b'\0'
    offsets.append(len(body))
    assert len(body) + 2 * len(offsets) <= node_size, 'node overflow'
    out = bytearray(node_size)
    out[:len(body)] = body
    for i, o in enumerate(offsets):
        struct.pack_into('>H', out, node_size - 2 * (i + 1), o)
    return bytes(out)


def header_node(depth, root, leaf_records, first_leaf, last_leaf, total_nodes, in_use, max_key, compare, attributes):
    free = total_nodes - len(in_use)
    hdr = u16(depth) + u32(root) + u32(leaf_records) + u32(first_leaf) + u32(last_leaf) + u16(node_size)
    hdr += u16(max_key) + u32(total_nodes) + u32(free) + u16(0) + u32(node_size) + bytes([0, compare])
    hdr += u32(attributes) + b'\0' * 64
    assert len(hdr) == 106
    user = b'\0' * 128
    map_len = node_size - 14 - 106 - 128 - 8
    bitmap = bytearray(map_len)
    for n in in_use:
        bitmap[n // 8] |= 0x80 >> (n % 8)
    return node(1, 0, [hdr, user, bytes(bitmap)])


def write_data(data, pieces=1, gap=1):
    """Stores data in `pieces` extents with gaps between them; returns (blocks, extents)."""
    blocks = max(1, -(-len(data) // block_size)) if data else 0
    extents = []
    if blocks == 0:
        return 0, extents
    pieces = min(pieces, blocks)
    done = 0
    for i in range(pieces):
        count = blocks // pieces + (1 if i < blocks % pieces else 0)
        start = alloc(count, gap if extents else 0)
        extents.append((start, count))
        put(start, data[done * block_size:(done + count) * block_size])
        done += count
    return blocks, extents


# The tree: (parent, name, cnid, folder?, data)
ROOT_NAME = 'PictorvaHFS'
items = []
cnid = [16]


def add(parent, name, data=None):
    cnid[0] += 1
    items.append((parent, name, cnid[0], data is None, data))
    return cnid[0]


dcim = add(2, 'DCIM')
d100 = add(dcim, '100APPLE')
docs = add(2, 'docs')
add(d100, 'IMG_0001.JPG', rng.randbytes(5000))
add(d100, 'IMG_0002.JPG', rng.randbytes(2 * block_size))
add(dcim, 'movie clip.mov', rng.randbytes(3 * block_size + 17))
add(docs, 'empty.txt', b'')
add(docs, 'notes.txt', b'hello hfs+\n')
add(2, 'song.mp3', rng.randbytes(40000))
big_id = add(2, 'big.bin', rng.randbytes(10 * block_size + 1234))
for i in range(12):
    add(docs, 'page%02d.txt' % i, rng.randbytes(100 + i))

# Allocation file, extents file and catalog file blocks first.
alloc_blocks = max(1, -(-total_blocks // 8 // block_size))
alloc_start = alloc(alloc_blocks)
ext_nodes = 2
ext_start = alloc(ext_nodes * node_size // block_size if node_size >= block_size else 1)
per_node = max(1, node_size // block_size)
nodes_per_block = max(1, block_size // node_size)
assert nodes_per_block == 1 or node_size * nodes_per_block == block_size

# Data of files; big.bin in ten extents.
extents_of = {}
for parent, name, cid, is_folder, data in items:
    if is_folder:
        continue
    pieces = 10 if cid == big_id else 1
    extents_of[cid] = write_data(data, pieces, gap=1)

# The deleted file: its data stays, its blocks are freed in the bitmap afterwards.
deleted_data = rng.randbytes(3000)
deleted_blocks, deleted_extents = write_data(deleted_data)
for s, c in deleted_extents:
    for b in range(s, s + c):
        used.discard(b)
deleted_id = 99

# Catalog records sorted by (parent, name) with case-insensitive names for HFS+, binary for HFSX.
def sort_name(name):
    return utf16(name) if signature == 'HX' else utf16(name.lower())


records = []  # (parent, name, record bytes)
children = {}
for parent, name, cid, is_folder, data in items:
    children.setdefault(parent, []).append(cid)
records.append((1, ROOT_NAME, folder_record(2, len(children.get(2, [])))))
records.append((2, '', thread_record(3, 1, ROOT_NAME)))
for parent, name, cid, is_folder, data in items:
    if is_folder:
        records.append((parent, name, folder_record(cid, len(children.get(cid, [])))))
        records.append((cid, '', thread_record(3, parent, name)))
    else:
        blocks, extents = extents_of[cid]
        records.append((parent, name, file_record(cid, len(data), blocks, extents)))
        records.append((cid, '', thread_record(4, parent, name)))
records.sort(key=lambda r: (r[0], sort_name(r[1])))

# Node numbers: 0 header, 1 index (root), 2.. leaves, then the free node with the stale record.
per_leaf = 6 if nodes_per_block == 1 else 3
leaves = [records[i:i + per_leaf] for i in range(0, len(records), per_leaf)]
first_leaf = 2
free_node = first_leaf + len(leaves)
total_nodes = -(-(free_node + 1) // nodes_per_block) * nodes_per_block
cat_nodes = []
index_records = []
for i, leaf in enumerate(leaves):
    n = first_leaf + i
    flink = n + 1 if i + 1 < len(leaves) else 0
    blink = n - 1 if i > 0 else 0
    cat_nodes.append(node(-1, 1, [cat_key(p, nm) + r for p, nm, r in leaf], flink, blink))
    p, nm, _ = leaf[0]
    index_records.append(cat_key(p, nm) + u32(n))
index_node = node(0, 2, index_records)
stale = node(-1, 1, [cat_key(2, 'deleted.jpg') + file_record(deleted_id, len(deleted_data), deleted_blocks, deleted_extents)])
compare = 0xBC if signature == 'HX' else 0xCF
cat_header = header_node(2, 1, len(records), first_leaf, free_node - 1, total_nodes,
                         set(range(free_node)), 516, compare, 6)
catalog = [cat_header, index_node] + cat_nodes + [stale]
catalog += [bytes(node_size)] * (total_nodes - len(catalog))
assert len(catalog) == total_nodes

# The catalog file: one node per extent, with a gap between extents; nine or more extents, the
# ninth and later ones in the overflow file. Node size below block size: a node per block start.
cat_extents = []
cat_bytes = b''.join(catalog)
piece = per_node * block_size
for at in range(0, len(cat_bytes), piece):
    start = alloc(per_node, 1)
    put(start, cat_bytes[at:at + piece])
    cat_extents.append((start, per_node))
assert len(cat_extents) >= 9
cat_blocks = sum(c for _, c in cat_extents)

# Extents overflow file: header node and one leaf with the catalog's and big.bin's further extents.
def ext_record(file_id, start_block, extents):
    key = u16(10) + bytes([0, 0]) + u32(file_id) + u32(start_block)
    ext = b''.join(u32(s) + u32(c) for s, c in extents)
    return key + ext + b'\0' * (64 - len(ext))


big_blocks, big_extents = extents_of[big_id]
ext_leaf_records = [
    ext_record(4, sum(c for _, c in cat_extents[:8]), cat_extents[8:16]),
    ext_record(big_id, sum(c for _, c in big_extents[:8]), big_extents[8:16]),
]
ext_leaf = node(-1, 1, ext_leaf_records)
ext_header = header_node(1, 1, len(ext_leaf_records), 1, 1, ext_nodes, {0, 1}, 10, 0, 2)
ext_file = ext_header + ext_leaf
ext_file_blocks = -(-len(ext_file) // block_size)
put(ext_start, ext_file)

# Allocation bitmap (block 0 and every used block in use).
used.add(0)
used.add(total_blocks - 1)  # holds the alternate volume header
bitmap = bytearray(alloc_blocks * block_size)
for b in used:
    bitmap[b // 8] |= 0x80 >> (b % 8)
put(alloc_start, bitmap)

# Volume header at 1024 and its alternate copy 1024 bytes before the end.
file_count = sum(1 for it in items if not it[3])
folder_count = sum(1 for it in items if it[3])
vh = bytearray(512)
vh[0:2] = signature.encode()
struct.pack_into('>HIIIIIIIIIIIIIIIIIQ', vh, 2, 5 if signature == 'HX' else 4, 0x100, 0x31302E30, 0,
                 T_CREATE, T_MOD, 0, T_MOD, file_count, folder_count, block_size, total_blocks,
                 total_blocks - len(used), next_free[0], 65536, 65536, 200, 1, 1)
vh[0x70:0xC0] = fork(alloc_blocks * block_size, alloc_blocks, [(alloc_start, alloc_blocks)])
vh[0xC0:0x110] = fork(ext_file_blocks * block_size, ext_file_blocks, [(ext_start, ext_file_blocks)])
vh[0x110:0x160] = fork(cat_blocks * block_size, cat_blocks, cat_extents)
vol[1024:1536] = vh
vol[len(vol) - 1024:len(vol) - 512] = vh

with open(image + '.tmp', 'wb') as f:
    f.write(vol)
os.replace(image + '.tmp', image)

# The trees the tests compare with.
paths = {2: ''}
for parent, name, cid, is_folder, data in items:
    paths[cid] = os.path.join(paths[parent], name)
for label, entries in (('expected', [(paths[c], f, d) for p, n, c, f, d in items]),
                       ('deleted', [('deleted.jpg', False, deleted_data)])):
    top = image + '.' + label
    os.makedirs(top, exist_ok=True)
    for rel, is_folder, data in entries:
        target = os.path.join(top, rel)
        if is_folder:
            os.makedirs(target, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, 'wb') as f:
                f.write(data)
            os.utime(target, (T_ACCESS - HFS_EPOCH, T_MOD - HFS_EPOCH))
