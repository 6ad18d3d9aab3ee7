// Mesh: the index-based triangle and quad surface with rest and current poses, texture
// coordinates, normals, skinning weights and weighted spheres, plus its OBJ reader and writer,
// normals, editing, ray tests, skinning and OpenGL drawing.
#pragma once

#include <string>
#include <vector>

#include "numerics/vec3.h"

namespace lumo {
template <class T>
class Image;
}

// All indices held in memory count from 0 (the OBJ files count from 1). `vert` and `restVert`
// always have the same length; `boneWeights` is empty or holds one list per vertex.
class Mesh {
  public:
    // A triangle: corner k uses vertex vi[k] (into vert/restVert), normal ni[k] (into norm) and
    // texture coordinate tci[k] (into tvert). Corners wind counter-clockwise seen from outside.
    struct Tri {
        Tri() : vi{0, 0, 0}, ni{0, 0, 0}, tci{0, 0, 0} {}
        // Copies three ints from each array.
        Tri(const int* vi, const int* ni, const int* tci);
        int vi[3];
        int ni[3];
        int tci[3];
    };

    // A quad: same fields and meaning as Tri, four corners.
    struct Face {
        int vi[4];
        int ni[4];
        int tci[4];
    };

    // One skinning weight: `weight` of the bone transform with index `bone` (into the container
    // handed to animate).
    struct bone_weight_t {
        float weight;
        short bone;
    };

    // A sphere skinned like a vertex: `center` is the current (posed) centre, `restCenter` the
    // bind-pose centre; `interactions` lists the indices of the spheres it interacts with
    // (symmetric, ascending and without duplicates after a read).
    struct bounding_sphere_t {
        lumo::Vec3<float> center;
        lumo::Vec3<float> restCenter;
        double radius;
        std::vector<bone_weight_t> weights;
        std::vector<short> interactions;
    };

    // Texture coordinates (u, v, w), indexed by tci.
    std::vector<lumo::Vec3<float>> tvert;
    // Current (deformed, animated or simulated) positions: drawn, and the source of normals.
    std::vector<lumo::Vec3<float>> vert;
    // Normals indexed by ni: one per vertex after initNormals (ni == vi), one per triangle
    // corner after initNormalsAutoSmooth (corner k of triangle i has ni == 3i + k).
    std::vector<lumo::Vec3<float>> norm;
    // Rest (bind) positions, parallel to vert: source of skinning, ray tests and cutting.
    std::vector<lumo::Vec3<float>> restVert;
    std::vector<Face> faces;
    std::vector<Tri> tris;
    // One weight list per vertex, or empty when the mesh has no skinning weights.
    std::vector<std::vector<bone_weight_t>> boneWeights;
    std::vector<bounding_sphere_t> spheres;
    // Owned flat array (new[]/delete[]) of 9 floats per triangle: corner k of triangle t at
    // 9t + 3k .. 9t + 3k + 2 (x, y, z). Null until initVertexElements builds it.
    float* vertexElements;
    // Number of floats in vertexElements.
    int numVertexElements;
    // OpenGL buffer object drawn by drawVertexElements when non-zero; never created or deleted
    // by the mesh.
    unsigned int vertexBuffer;

    Mesh();
    // Triangulates a masked range image. coords: w x h, 3 interleaved channels, a 3-D point
    // per pixel; mask: same w x h, a pixel is kept when its first channel is non-zero. One
    // vertex per kept pixel in row-major order, texture coordinate (x / w, y / h, 0), up to
    // two triangles per 2 x 2 cell. Aborts by assertion on a wrong channel count or size.
    Mesh(const lumo::Image<float>& coords, const lumo::Image<unsigned char>& mask);
    // Copies own their own vertex-element array; moves take it over.
    Mesh(const Mesh& other);
    Mesh(Mesh&& other) noexcept;
    Mesh& operator=(const Mesh& other);
    Mesh& operator=(Mesh&& other) noexcept;
    // Frees vertexElements; makes no OpenGL call.
    ~Mesh();

    // Replaces the contents with the OBJ file at `path`. Returns 1 on success, 0 when the file
    // cannot be opened or a v, vt or vn line is malformed. A malformed line prints its message
    // and "<path>:<line>: malformed <tag> line; the file is not read" on standard error; either
    // failure leaves every list read from a file empty. Lines that are not part of the mesh are
    // appended (with their newline) to *unknownLines when it is non-null.
    int loadobj(const char* path, std::vector<std::string>* unknownLines = nullptr);
    // Writes positions (vert when `deformed`, else restVert), texture coordinates, triangles,
    // weights and spheres; appends to the file when `appendToFile`. Returns 1, or 0 when the
    // file cannot be opened. Quads and normals are not written.
    int saveobj(const char* path, bool appendToFile = false, bool deformed = false);

    // Area-weighted unit normals per vertex from vert; sets every ni to its vi. Unused or
    // degenerate vertices get (0, 0, 0).
    void initNormals();
    // Unit normals per triangle corner from vert, smoothing only over the triangles round a
    // vertex whose normals lie within `angle` degrees of the corner's own triangle normal.
    // norm gets 3 entries per triangle (corner k of triangle i at 3i + k), followed by 4 per
    // quad holding its flat unit face normal.
    void initNormalsAutoSmooth(double angle);

    // A new mesh of the listed vertices (current positions, entry j of `keep` becomes vertex
    // j) and the triangles whose three corners are all listed; no quads, no spheres.
    Mesh keepVert(const std::vector<int>& keep) const;
    // A new mesh where every triangle becomes six around its centroid (rest positions, texture
    // coordinates and weights interpolated): V + E + T vertices and 6T triangles. Quads are
    // dropped with a warning.
    Mesh subdivide() const;
    // Closes every simple boundary loop with a fan of triangles wound like its neighbours.
    void fillSimpleHoles();

    // Linear-blend skinning: vert[i] = sum of w * (bones[bone] applied to (restVert[i], 1)),
    // renormalised when the weights do not sum to 1; then initNormals; sphere centres likewise
    // from restCenter. Does nothing when boneWeights has fewer entries than restVert. Vertices
    // and spheres with an empty or zero-sum weight list keep their rest position. Every bone
    // number must index `bones`. Instantiated for lumo::Mat4x4* and std::vector<lumo::Mat4x4>.
    template <class T>
    void animate(T bones);

    // Immediate-mode drawing of quads then triangles (texture coordinate, normal, position per
    // corner); with drawSpheres, also the spheres (blue where they overlap an interacting one).
    void draw(bool drawSpheres);
    // As draw(false), texture coordinates taken from tc by vertex index; no matrix push/pop.
    void drawWithTC(const std::vector<lumo::Vec3<float>>& tc);
    // Fills vertexElements (9 floats per triangle) from the current positions.
    void initVertexElements();
    // Draws vertexElements (or vertexBuffer when non-zero) with one glDrawArrays.
    void drawVertexElements();
};

// Identity, not contents: true exactly when both arguments are the same list object.
bool operator==(const std::vector<Mesh::bone_weight_t>& a,
                const std::vector<Mesh::bone_weight_t>& b);

// Intersects the whole line o + t d (t of either sign) with every triangle of the rest pose.
// nearestT / farthestT: smallest / largest hit parameter (1e11 / -1e11 with no hit). hitTri and
// hitBary (weights of corners 0, 1, 2) name the first triangle that reached the nearest hit
// (nearest == true) or the farthest one (false); left unchanged with no hit. Prints
// "close: %d\n" for every triangle hit or missed by less than about 1e-5 in barycentric terms.
void intersectRayWithMesh(const Mesh& mesh, const lumo::Vec3<float>& o, const lumo::Vec3<float>& d,
                          double& nearestT, double& farthestT, int& hitTri,
                          lumo::Vec3<float>& hitBary, bool nearest);
// As above with nearest == true, without the triangle and barycentric outputs.
void intersectRayWithMesh(const Mesh& mesh, const lumo::Vec3<float>& o, const lumo::Vec3<float>& d,
                          double& nearestT, double& farthestT);

// Range of the plane value a x + b y + c z + d (plane = {a, b, c, d}) over the current
// positions; 1e11 and -1e11 for an empty mesh.
void depthRange(Mesh* mesh, const double* plane, double& minDepth, double& maxDepth);

// Draws the triangles flattened into texture space (position = first two texture coordinates),
// alpha = max(0, normal . unit direction to `eye`); the 3-D position goes to texture units 0
// and 1. Quads are not drawn.
void drawTC(Mesh* mesh, const lumo::Vec3<double>& eye);

// Renders the triangles into the current frame buffer at w x h (in texture space when
// texSpace, else with the caller's camera) and reads back a w x h, 4-channel image: per pixel
// the barycentric weights of corners 0, 1, 2 and 1.0, or all 0 outside every triangle; row 0
// is the bottom of the viewport. When ids is non-null it receives a w x h, 1-channel image of
// triangle numbers (0xFFFFFFFF outside).
lumo::Image<float> getBaryImage(Mesh& mesh, int w, int h, bool texSpace,
                                lumo::Image<unsigned int>* ids = nullptr);
