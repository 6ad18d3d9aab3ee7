// Mesh construction, copying, destruction and the identity comparison of weight lists.
#include "mesh/mesh.h"

#include <algorithm>
#include <utility>

Mesh::Tri::Tri(const int* vi_, const int* ni_, const int* tci_) {
    for (int k = 0; k < 3; ++k) {
        vi[k] = vi_[k];
        ni[k] = ni_[k];
        tci[k] = tci_[k];
    }
}

Mesh::Mesh() : vertexElements(nullptr), numVertexElements(0), vertexBuffer(0) {}

Mesh::Mesh(const Mesh& other)
    : tvert(other.tvert),
      vert(other.vert),
      norm(other.norm),
      restVert(other.restVert),
      faces(other.faces),
      tris(other.tris),
      boneWeights(other.boneWeights),
      spheres(other.spheres),
      vertexElements(nullptr),
      numVertexElements(0),
      vertexBuffer(other.vertexBuffer) {
    if (other.vertexElements && other.numVertexElements > 0) {
        vertexElements = new float[other.numVertexElements];
        std::copy(other.vertexElements, other.vertexElements + other.numVertexElements,
                  vertexElements);
        numVertexElements = other.numVertexElements;
    }
}

Mesh::Mesh(Mesh&& other) noexcept
    : tvert(std::move(other.tvert)),
      vert(std::move(other.vert)),
      norm(std::move(other.norm)),
      restVert(std::move(other.restVert)),
      faces(std::move(other.faces)),
      tris(std::move(other.tris)),
      boneWeights(std::move(other.boneWeights)),
      spheres(std::move(other.spheres)),
      vertexElements(other.vertexElements),
      numVertexElements(other.numVertexElements),
      vertexBuffer(other.vertexBuffer) {
    other.vertexElements = nullptr;
    other.numVertexElements = 0;
    other.vertexBuffer = 0;
}

Mesh& Mesh::operator=(const Mesh& other) {
    if (this != &other) {
        Mesh copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Mesh& Mesh::operator=(Mesh&& other) noexcept {
    if (this != &other) {
        tvert = std::move(other.tvert);
        vert = std::move(other.vert);
        norm = std::move(other.norm);
        restVert = std::move(other.restVert);
        faces = std::move(other.faces);
        tris = std::move(other.tris);
        boneWeights = std::move(other.boneWeights);
        spheres = std::move(other.spheres);
        delete[] vertexElements;
        vertexElements = other.vertexElements;
        numVertexElements = other.numVertexElements;
        vertexBuffer = other.vertexBuffer;
        other.vertexElements = nullptr;
        other.numVertexElements = 0;
        other.vertexBuffer = 0;
    }
    return *this;
}

Mesh::~Mesh() {
    delete[] vertexElements;
}

bool operator==(const std::vector<Mesh::bone_weight_t>& a,
                const std::vector<Mesh::bone_weight_t>& b) {
    return &a == &b;
}
