// OBJ dialect reader of Mesh: v, vt, vn, f (triangles and quads) plus the skinning and
// sphere tags vw, sp, sw and si. Files count indices from 1; memory counts from 0.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>

#include "mesh/mesh.h"

namespace {

// White space as the C library's isspace sees it in the "C" locale.
inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// One int read exactly as sscanf's %d reads it: leading white space, an optional sign and at
// least one decimal digit. The value saturates at the range of long and is then narrowed to
// int, as the C library does. Advances p past the number on success.
bool scanInt(const char*& p, int& out) {
    const char* s = p;
    while (isSpace(*s)) ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = (*s++ == '-');
    if (!isDigit(*s)) return false;
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(LONG_MAX) + 1ull : LONG_MAX;
    unsigned long long mag = 0;
    for (; isDigit(*s); ++s) {
        unsigned d = unsigned(*s - '0');
        mag = (mag > (limit - d) / 10) ? limit : mag * 10 + d;
    }
    long value =
        negative ? (mag == limit ? LONG_MIN : -static_cast<long>(mag)) : static_cast<long>(mag);
    out = static_cast<int>(value);
    p = s;
    return true;
}

enum class FloatScan { ok, fail, unsure };

// One float in the plain decimal notation ([sign] digits [. digits] [e [sign] digits]) that
// ends at white space or the end of the text, converted with correct rounding like strtof.
// Anything else (inf, nan, hex, text glued to the number, out of range) answers `unsure` so
// that the caller can hand the whole line to sscanf and get the C library's exact reading.
FloatScan scanFloat(const char*& p, float& out) {
    const char* s = p;
    while (isSpace(*s)) ++s;
    if (*s == '\0') return FloatScan::fail;
    const char* first = (*s == '+') ? s + 1 : s;
    s = (*s == '+' || *s == '-') ? s + 1 : s;
    int digits = 0;
    for (; isDigit(*s); ++s) ++digits;
    if (*s == '.')
        for (++s; isDigit(*s); ++s) ++digits;
    if (digits == 0) return FloatScan::unsure;
    if (*s == 'e' || *s == 'E') {
        const char* e = s + 1;
        if (*e == '+' || *e == '-') ++e;
        if (!isDigit(*e)) return FloatScan::unsure;
        while (isDigit(*e)) ++e;
        s = e;
    }
    if (*s != '\0' && !isSpace(*s)) return FloatScan::unsure;
    auto res = std::from_chars(first, s, out);
    if (res.ec != std::errc() || res.ptr != s) return FloatScan::unsure;
    p = s;
    return FloatScan::ok;
}

// Reads up to n (1..4) floats like sscanf(text, "%f %f ...") with n fields; returns the
// conversion count.
int scanFloats(const char* text, int n, float (&out)[4]) {
    static const char* const kForms[5] = {"", "%f", "%f %f", "%f %f %f", "%f %f %f %f"};
    const char* p = text;
    int count = 0;
    for (; count < n; ++count) {
        FloatScan r = scanFloat(p, out[count]);
        if (r == FloatScan::fail) return count;
        if (r == FloatScan::unsure)
            return std::sscanf(text, kForms[n], &out[0], &out[1], &out[2], &out[3]);
    }
    return count;
}

// Reads "%d %d %f" like sscanf; returns the conversion count.
int scanIntIntFloat(const char* text, int& a, int& b, float& w) {
    const char* p = text;
    if (!scanInt(p, a)) return 0;
    if (!scanInt(p, b)) return 1;
    FloatScan r = scanFloat(p, w);
    if (r == FloatScan::unsure) return std::sscanf(text, "%d %d %f", &a, &b, &w);
    return r == FloatScan::ok ? 3 : 2;
}

// The 0-based index of a 1-based file index. INT_MIN has no 0-based int: it stays INT_MIN, out
// of range like every other negative index.
inline int zeroBased(int fileIndex) {
    return fileIndex == INT_MIN ? INT_MIN : fileIndex - 1;
}

// The conversion count of sscanf(text, form) for a face form of `groups` corners of `per` ints
// joined by '/', corners separated by white space. Values go to out in reading order.
int scanCorners(const char* text, int groups, int per, int* out) {
    const char* p = text;
    int n = 0;
    for (int g = 0; g < groups; ++g) {
        for (int k = 0; k < per; ++k) {
            if (k > 0) {
                if (*p != '/') return n;
                ++p;
            }
            if (!scanInt(p, out[n])) return n;
            ++n;
        }
    }
    return n;
}

// State of one read.
struct ObjReader {
    Mesh& mesh;
    bool hadWeights = false;
    bool withoutNormals = false;

    void face(const char* text);
    void vertexWeight(const char* text, const char* path);
    void sphere(const char* text);
    void sphereWeight(const char* text);
    void sphereInteraction(const char* text);
};

// Tries the six face forms in order; the first whose conversion count matches wins.
void ObjReader::face(const char* text) {
    static const int kGroups[6] = {4, 4, 4, 3, 3, 3};
    static const int kPer[6] = {3, 2, 1, 3, 2, 1};
    int f[12];
    int form = 0;
    for (; form < 6; ++form)
        if (scanCorners(text, kGroups[form], kPer[form], f) == kGroups[form] * kPer[form]) break;
    if (form == 6) return;
    const int per = kPer[form];
    if (per != 3) withoutNormals = true;
    int vi[4], ni[4], tci[4];
    for (int k = 0; k < kGroups[form]; ++k) {
        vi[k] = zeroBased(f[k * per]);
        tci[k] = per >= 2 ? zeroBased(f[k * per + 1]) : 0;
        ni[k] = per == 3 ? zeroBased(f[k * per + 2]) : vi[k];
    }
    if (kGroups[form] == 4) {
        Mesh::Face q;
        std::copy(vi, vi + 4, q.vi);
        std::copy(ni, ni + 4, q.ni);
        std::copy(tci, tci + 4, q.tci);
        mesh.faces.push_back(q);
    } else {
        mesh.tris.push_back(Mesh::Tri(vi, ni, tci));
    }
}

void ObjReader::vertexWeight(const char* text, const char* path) {
    int v, bone;
    float w;
    if (scanIntIntFloat(text, v, bone, w) != 3) return;
    if (v < 1 || size_t(v) > mesh.boneWeights.size()) {
        std::fprintf(stderr, "%s: vw line for vertex %d, which is not defined before it; skipped\n",
                     path, v);
        return;
    }
    mesh.boneWeights[v - 1].push_back(Mesh::bone_weight_t{w, static_cast<short>(bone)});
    hadWeights = true;
}

void ObjReader::sphere(const char* text) {
    float s[4];
    if (scanFloats(text, 4, s) != 4) return;
    Mesh::bounding_sphere_t sp;
    sp.center = sp.restCenter = lumo::Vec3<float>(s[0], s[1], s[2]);
    sp.radius = s[3];
    mesh.spheres.push_back(sp);
}

void ObjReader::sphereWeight(const char* text) {
    int s, bone;
    float w;
    if (scanIntIntFloat(text, s, bone, w) != 3) return;
    // In unsigned arithmetic 0 and every negative index wrap to values past the list.
    if (unsigned(s) - 1u >= mesh.spheres.size()) {
        std::fprintf(stderr, "ERROR: sphere weights are going to be wrong, fix this loader\n");
        return;
    }
    mesh.spheres[s - 1].weights.push_back(Mesh::bone_weight_t{w, static_cast<short>(bone)});
}

// Interactions are stored as shorts, so spheres past SHRT_MAX cannot take part in one.
void ObjReader::sphereInteraction(const char* text) {
    const char* p = text;
    int fileA, fileB;
    if (!scanInt(p, fileA) || !scanInt(p, fileB)) return;
    const long a = long(fileA) - 1, b = long(fileB) - 1;  // wider: INT_MIN - 1 is no int
    const long n = std::min<long>(long(mesh.spheres.size()), long(SHRT_MAX) + 1);
    if (a < 0 || b < 0 || a >= n || b >= n) {
        std::fprintf(stderr,
                     "ERROR: sphere interaction out of bounds, must come after sphere "
                     "definitions");
        return;
    }
    std::printf("got sphere interaction %d %d\n", int(a), int(b));
    mesh.spheres[a].interactions.push_back(static_cast<short>(b));
    mesh.spheres[b].interactions.push_back(static_cast<short>(a));
}

inline lumo::Vec3<float> unit(lumo::Vec3<float> v) {
    v.normalize();
    return v;
}

inline char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

// The 1-based number of the file's line holding the piece just read by fgets (`piece`), counted
// again from the start of f: only a failed read needs it, so reading pays nothing for it.
long lineNumberOf(FILE* f, const char* piece) {
    const long start = std::ftell(f) - long(std::strlen(piece));
    std::rewind(f);
    long number = 1;
    for (long i = 0; i < start; ++i) {
        const int c = std::fgetc(f);
        if (c == EOF) break;
        if (c == '\n') ++number;
    }
    return number;
}

// Reads the lines of f (in pieces of at most 1023 characters, each piece classified as a line
// of its own). Returns false after printing the message of a malformed v, vt or vn line, with
// one more line on standard error naming the file and the line number.
bool readLines(FILE* f, const char* path, Mesh& mesh, ObjReader& reader,
               std::vector<std::string>* unknownLines) {
    char line[1024];
    float x[4];
    while (std::fgets(line, sizeof line, f)) {
        const char c0 = line[0], c1 = line[1];
        const char* failure = nullptr;  // the message of a malformed v, vt or vn line
        if ((c0 == 'f' || c0 == 'F') && c1 == ' ') {
            reader.face(line + 2);
        } else if (c0 == 'v' && c1 == 't') {
            if (scanFloats(line + 2, 2, x) < 2)
                failure = "error reading tvert";
            else
                mesh.tvert.push_back(lumo::Vec3<float>(x[0], x[1], 1.0f));
        } else if (c0 == 'v' && c1 == 'n') {
            if (scanFloats(line + 2, 3, x) < 3)
                failure = "error reading vn";
            else
                mesh.norm.push_back(unit(lumo::Vec3<float>(x[0], x[1], x[2])));
        } else if (c0 == 'v' && c1 == ' ') {
            if (scanFloats(line + 1, 3, x) < 3)
                failure = "error reading vert";
            else {
                mesh.vert.push_back(lumo::Vec3<float>(x[0], x[1], x[2]));
                mesh.boneWeights.emplace_back();
            }
        } else {
            const char l0 = lower(c0), l1 = lower(c1);
            if (l0 == 'v' && l1 == 'w')
                reader.vertexWeight(line + 2, path);
            else if (l0 == 's' && l1 == 'p')
                reader.sphere(line + 2);
            else if (l0 == 's' && l1 == 'w')
                reader.sphereWeight(line + 2);
            else if (l0 == 's' && l1 == 'i')
                reader.sphereInteraction(line + 2);
            else if (unknownLines)
                unknownLines->push_back(line);
        }
        if (failure) {
            std::puts(failure);
            const char* tag = c1 == 't' ? "vt" : c1 == 'n' ? "vn" : "v";
            std::fprintf(stderr, "%s:%ld: malformed %s line; the file is not read\n", path,
                         lineNumberOf(f, line), tag);
            return false;
        }
    }
    return true;
}

// Drops the faces that name a vertex outside vert, or (when the file had texture coordinates)
// a texture coordinate outside tvert, with one message per face on standard error. Normal
// indices are not checked: the normals are rebuilt with ni = vi after the read.
template <class F>
void dropBadFaces(std::vector<F>& list, const Mesh& mesh, bool checkTex, const char* path,
                  const char* what) {
    const int N = int(std::extent<decltype(F::vi)>::value);  // corners: 4 or 3
    const size_t nv = mesh.vert.size(), nt = mesh.tvert.size();
    size_t kept = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        const F& fc = list[i];
        bool ok = true;
        for (int k = 0; k < N && ok; ++k) {
            if (size_t(unsigned(fc.vi[k])) >= nv) {
                std::fprintf(stderr,
                             "%s: %s with vertex index %d outside the %zu vertices; skipped\n",
                             path, what, fc.vi[k] + 1, nv);
                ok = false;
            } else if (checkTex && size_t(unsigned(fc.tci[k])) >= nt) {
                std::fprintf(stderr,
                             "%s: %s with texture coordinate index %d outside the %zu texture "
                             "coordinates; skipped\n",
                             path, what, fc.tci[k] + 1, nt);
                ok = false;
            }
        }
        if (ok) list[kept++] = fc;
    }
    list.erase(list.begin() + kept, list.end());
}

// A file without texture coordinates gets the single coordinate (0, 0, 1); every corner whose
// index does not name it is reported and pointed at it.
template <class F>
void fixTexIndices(std::vector<F>& list, size_t nt) {
    const int N = int(std::extent<decltype(F::vi)>::value);
    for (F& fc : list)
        for (int k = 0; k < N; ++k)
            if (unsigned(fc.tci[k]) >= nt) {
                std::printf("texture coordinate index out of bounds:%d \n", fc.tci[k]);
                fc.tci[k] = 0;
            }
}

// Divides every vertex's weights by their sum; a list whose sum is exactly zero is left as it
// is (there is nothing to scale it to).
void normaliseWeights(Mesh& mesh) {
    for (size_t i = 0; i < mesh.boneWeights.size(); ++i) {
        std::vector<Mesh::bone_weight_t>& list = mesh.boneWeights[i];
        float sum = 0.0f;
        for (const Mesh::bone_weight_t& w : list) sum += w.weight;
        if (sum <= 1e-6) std::printf("no weight for vert %d\n", int(i));
        if (sum == 0.0f) continue;
        for (Mesh::bone_weight_t& w : list) w.weight /= sum;
    }
}

// Sorts each sphere's interactions and removes duplicates.
void cleanInteractions(Mesh& mesh) {
    std::puts("cleaning interactions");
    for (Mesh::bounding_sphere_t& s : mesh.spheres) {
        std::vector<short>& v = s.interactions;
        std::sort(v.begin(), v.end());
        v.erase(std::unique(v.begin(), v.end()), v.end());
        std::puts("copying results");
    }
    std::puts("done cleaning");
}

// Empties every list that a read fills (the vertex-element array is not the reader's).
void clearContents(Mesh& mesh) {
    mesh.restVert.clear();
    mesh.vert.clear();
    mesh.tvert.clear();
    mesh.norm.clear();
    mesh.faces.clear();
    mesh.tris.clear();
    mesh.spheres.clear();
    mesh.boneWeights.clear();
}

}  // namespace

int Mesh::loadobj(const char* path, std::vector<std::string>* unknownLines) {
    // restVert is cleared too, so that a failed read never leaves the rest pose of an earlier
    // mesh behind; a successful read copies vert into it.
    clearContents(*this);
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "r"));
    if (!file) return 0;
    // A large stdio buffer: the reader is bound by per-line overhead on big files.
    std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 20);

    ObjReader reader{*this};
    if (!readLines(file.get(), path, *this, reader, unknownLines)) {
        // A half-read mesh (faces naming vertices never read, no rest pose, no normals) is
        // safe for no caller: a file that fails partway leaves the mesh as one that cannot be
        // opened does, so every caller goes on as for a missing file.
        clearContents(*this);
        return 0;
    }
    file.reset();

    const bool hadTex = !tvert.empty();
    dropBadFaces(faces, *this, hadTex, path, "quad");
    dropBadFaces(tris, *this, hadTex, path, "triangle");
    if (!hadTex) {
        tvert.push_back(lumo::Vec3<float>(0.0f, 0.0f, 1.0f));
        fixTexIndices(faces, tvert.size());
        fixTexIndices(tris, tvert.size());
    }
    restVert = vert;
    if (reader.hadWeights)
        normaliseWeights(*this);
    else
        boneWeights.clear();
    cleanInteractions(*this);
    // Normals are always rebuilt from the positions (ni = vi), with or without vn lines.
    if (reader.withoutNormals) std::puts("there were no normals");
    initNormals();
    return 1;
}
