// SceneDescription: what a scene file names (tetrahedral mesh with material and fracture
// threshold, bound surface with texture images, further objects, permanent springs) and its
// reader.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "app/Spring.h"
#include "numerics/vec3.h"
#include "sim/Tetrahedron.h"

class SceneDescription {
  public:
    struct Material {
        std::string name;                   // not used by the scene
        std::vector<std::string> textures;  // image file names; the first textures the surface
        template <class Archive>
        void serialize(Archive& ar, const unsigned int version);
    };

    struct TetMesh {
        TetMesh();
        std::string file;                  // OBJ file of tetrahedron faces
        ::Tetrahedron::Material material;  // copied into every tetrahedron
        double fractureThreshold;          // principal-stress threshold; default 1000.0
        // File order: file, Young's modulus, Poisson ratio, threshold, plastic yield, plastic
        // maximum, plastic creep.
        template <class Archive>
        void serialize(Archive& ar, const unsigned int version);
    };

    struct TetBoundMesh {
        std::string file;  // OBJ surface to bind; empty: the scene has no bound surface
        Material material;
        template <class Archive>
        void serialize(Archive& ar, const unsigned int version);
    };

    // Read with the file and not used by the scene.
    struct BasicObject {
        BasicObject();
        std::string name;
        lumo::Vec3<float> vecf;
        double value;  // default 1.0
        lumo::Vec3<double> vecd;
        Material material;
        // File order: name, vecf, vecd, value, material.
        template <class Archive>
        void serialize(Archive& ar, const unsigned int version);
    };

    SceneDescription();

    bool drawTets;  // not set by the constructor: always read from the file
    TetMesh tetMesh;
    TetBoundMesh boundMesh;
    std::vector<BasicObject> objects;
    std::vector<Spring> springs;

    template <class Archive>
    void serialize(Archive& ar, const unsigned int version);
};

// Reads one SceneDescription from a text archive: the header "22 serialization::archive 6"
// (signature checked; library versions above 6 rejected), then the fields in file order. Every
// failure (unreadable stream, bad signature or version, a class version above 0, a malformed
// or missing token) throws boost::archive::archive_exception.
void readSceneDescription(std::istream& in, SceneDescription& d);
