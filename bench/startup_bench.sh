#!/usr/bin/env bash
# Start-up benchmark of the two-file command line on a mesher-made body: meshes bench/box.poly
# with tetgen (default -pq1.4a0.01: about 12k tetrahedra, 3k vertices), writes the tetrahedra
# as an OBJ of outward faces and the mesher's own boundary surface (about 1.9k vertices, 3.8k
# triangles) as the surface to bind, runs tetlab on them under a private Xvfb with standard
# output to a file, and prints the seconds from launch to the first frame on the screen, the
# size of the output and its checksum (for comparing builds: the output must not change).
# Usage (from the repository root, after scripts/build):
#   bench/startup_bench.sh [tetlab binary, default build/app/tetlab] [tetgen switches]
# KEEP_OUTPUT=file keeps a copy of the standard output.
set -euo pipefail
cd "$(dirname "$0")/.."
TETLAB=$(realpath "${1:-build/app/tetlab}")
SWITCHES=${2:-pq1.4a0.01}
# A fixed directory: the program prints the file names, and outputs of two builds must compare.
DIR=/tmp/tetlab_startup_bench
rm -rf "$DIR"
mkdir -p "$DIR"
trap 'rm -rf "$DIR"' EXIT

cp bench/box.poly "$DIR/"
tetgen "-${SWITCHES}Q" "$DIR/box.poly" >/dev/null
# Vertex numbers in tetgen's files start at the first node's own number.
/usr/bin/env python3 - "$DIR" <<'PY'
import sys
d = sys.argv[1]
def rows(path):
    with open(path) as f:
        return [l.split() for l in f if l.strip() and not l.lstrip().startswith('#')]
node, ele, face = rows(d + '/box.1.node'), rows(d + '/box.1.ele'), rows(d + '/box.1.face')
first = int(node[1][0])
pts = [tuple(float(c) for c in r[1:4]) for r in node[1:1 + int(node[0][0])]]
sub = lambda a, b: (a[0] - b[0], a[1] - b[1], a[2] - b[2])
cross = lambda a, b: (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])
dot = lambda a, b: a[0] * b[0] + a[1] * b[1] + a[2] * b[2]
with open(d + '/tets.obj', 'w') as f:
    for p in pts:
        f.write('v %r %r %r\n' % p)
    for r in ele[1:1 + int(ele[0][0])]:
        a, b, c, e = (int(x) - first for x in r[1:5])
        # (a, b, c) wound outwards: its normal points away from the fourth vertex.
        if dot(cross(sub(pts[b], pts[a]), sub(pts[c], pts[a])), sub(pts[e], pts[a])) > 0:
            b, c = c, b
        a, b, c, e = a + 1, b + 1, c + 1, e + 1
        f.write('f %d %d %d\nf %d %d %d\nf %d %d %d\nf %d %d %d\n' % (a, b, c, b, a, e, c, b, e, a, c, e))
# The boundary triangles, wound outwards from the centre of the (convex) box.
centre = (0.0, 0.0, 1.0)
tris = [[int(x) - first for x in r[1:4]] for r in face[1:1 + int(face[0][0])]]
used = sorted({v for t in tris for v in t})
index = {v: k + 1 for k, v in enumerate(used)}
with open(d + '/surface.obj', 'w') as f:
    for v in used:
        f.write('v %r %r %r\n' % pts[v])
    for a, b, c in tris:
        m = [(pts[a][k] + pts[b][k] + pts[c][k]) / 3 - centre[k] for k in range(3)]
        if dot(cross(sub(pts[b], pts[a]), sub(pts[c], pts[a])), m) < 0:
            b, c = c, b
        f.write('f %d %d %d\n' % (index[a], index[b], index[c]))
print('body: %d tetrahedra, %d vertices; surface: %d vertices, %d triangles'
      % (int(ele[0][0]), len(pts), len(used), len(tris)))
PY

# The first frame: the window's picture stops being uniformly black.
cat >"$DIR/run.sh" <<'RUN'
set -u
# The program's window is the top-level window that was not there before it started.
children() { xwininfo -root -children | grep -o '^ *0x[0-9a-fA-F]*' | tr -d ' '; }
before=$(children)
start=$(date +%s.%N)
"$TETLAB" "$DIR/tets.obj" "$DIR/surface.obj" >"$DIR/out.txt" 2>"$DIR/err.txt" </dev/null &
pid=$!
win=""
while kill -0 "$pid" 2>/dev/null; do
    if [ -z "$win" ]; then
        for w in $(children); do echo "$before" | grep -qx "$w" || win=$w; done
    fi
    if [ -n "$win" ]; then
        lit=$(import -window "$win" -colorspace Gray -format '%[fx:maxima]' info: 2>/dev/null || echo 0)
        [ "$lit" != 0 ] && break
    fi
    sleep 0.2
done
end=$(date +%s.%N)
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
echo "first frame after $(echo "$end - $start" | bc) s"
echo "standard output: $(wc -l <"$DIR/out.txt") lines, $(stat -c %s "$DIR/out.txt") bytes, md5 $(md5sum <"$DIR/out.txt" | cut -d' ' -f1)"
echo "standard error: $(stat -c %s "$DIR/err.txt") bytes"
if [ -n "$KEEP_OUTPUT" ]; then cp "$DIR/out.txt" "$KEEP_OUTPUT"; fi
RUN
export TETLAB DIR KEEP_OUTPUT=${KEEP_OUTPUT:-}
if [ -n "${DISPLAY:-}" ]; then
    bash "$DIR/run.sh"
else
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset -br" bash "$DIR/run.sh"
fi
