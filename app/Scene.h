// Scene: the application's model. Owns the simulated tetrahedral mesh and the surface bound to
// it, the dragged point and the permanent springs, the log of every fracture and the ground
// shadow's frame buffer; steps, picks, handles keys and draws.
#pragma once

#include <memory>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "app/Spring.h"
#include "numerics/matrix.h"
#include "numerics/vec3.h"
#include "sim/TetBoundMesh.h"
#include "sim/TetMesh.h"
#include "sim/TetMeshFractureInfo.h"

class FBO;
class InteractiveCameraView;

// Units and signs (the mesh's own are in TetMesh and Tetrahedron):
// - World units for positions, y up; h and every step length in seconds (0.01 per frame);
//   fps counts steps per wall-clock second.
// - External forces are in the mesh's force unit (mass 10.0 per vertex row): gravity is
//   -9.81 x mass on every y row. Springs, the dragged point, pins and the ground are written as
//   displacements over h^2 (see externalForces), each pointing towards its anchor, the rest
//   position or the ground.
// - The ground is the plane y = kGroundHeight (-10); vertices whose rest z is at most -3 are
//   pinned. The fracture threshold is a stress, in the unit of the material's Young's modulus.
class Scene {
  public:
    // The point dragged with the mouse: the fields of a Spring, filled member-wise (never
    // through a Spring constructor, so it never loads the spring geometry). tet -1: none.
    struct Handle {
        int tet;
        lumo::Vec4<float> bary;  // weights of the tetrahedron's vertex slots 0..3
        lumo::Vec3<float> pos;   // world anchor, moved by dragging
    };

    // Height (y) of the ground plane, world units; the ground force and the floor use it.
    static const double kGroundHeight;
    // Where every fracture record so far is written after each step that fractured, and where
    // the replay key reads records from.
    static const char* const kFractureLogPath;
    static const char* const kReplayPath;

    // From an OBJ file of tetrahedron faces and, when boundObjFile is not null, an OBJ surface
    // bound to the tetrahedra at once. Default material and fracture threshold.
    Scene(const char* tetObjFile, const char* boundObjFile);
    // From a scene description file. A file that cannot be opened or read throws
    // boost::archive::archive_exception. Springs naming no tetrahedron of the mesh are dropped
    // with a message on standard error.
    explicit Scene(const char* sceneFile);
    ~Scene();  // in Scene.cpp, where FBO is complete

    // Resets the flags and the dragged point, sets lighting, colour material and depth test, and
    // creates the 1024 x 1024 shadow frame buffer; prints "Creating fbo." and "Created fbo.".
    void init();

    // ---- stepping (SceneStep.cpp) ----

    // One step of h seconds: external forces, the mesh's implicit step, re-posing of the bound
    // surface, the fracture log, cutting, and the step rate every 30 steps.
    void simulate(double h);
    // The external force vector, 3N x 1 (N = rest vertices; vertex i at rows 3i..3i+2):
    // gravity -9.81 x mass on y; each spring adds 0.25 x weight_j x (anchor - vertex_j) / h^2 to
    // the vertex of corner j, the dragged point 0.5 x that; vertices resting at z <= -3 are
    // pinned to their rest position ((rest - current) / h^2, replacing the rest); vertices below
    // the ground get y force (ground - y) / h^2. Springs naming no tetrahedron are skipped.
    static lumo::Matrix externalForces(const TetMesh& mesh, const std::vector<Spring>& springs,
                                       const Handle& handle, double h);
    // Rewrites the fracture log at path with every record. A log that cannot be written gives one
    // line on standard error and false; the caller carries on.
    static bool writeFractureLog(const char* path, const std::vector<TetMeshFractureInfo>& all);
    // Sets every bound-surface vertex from its binding in the current pose, then its normals.
    void reposeBoundMesh();

    // ---- picking and springs (ScenePick.cpp) ----

    // A left press (button 0, down non-zero) picks the body under the pixel (x, y; y downward)
    // and makes that point the dragged point, printing its weights; any other button event drops
    // the dragged point.
    void selectHandleForView(InteractiveCameraView* view, int button, int down, int x, int y);
    // Moves the dragged point's anchor to the pointer in the screen-parallel plane at its depth.
    void moveHandleForView(InteractiveCameraView* view, int x, int y);
    // Appends a permanent spring made from the dragged point, when there is one.
    void convertHandleToSpring();
    // A left press removes the permanent spring drawn under the pixel, if any.
    void removeSpringForView(InteractiveCameraView* view, int button, int down, int x, int y);

    // ---- keys (SceneKeys.cpp) ----

    void handleKeyboard(unsigned char key, int x, int y);
    // Zero velocities and plastic strain, current positions back to rest, bound surface
    // re-posed. Split vertices stay split; springs, fractures and flags stay.
    void reset();

    // ---- drawing (SceneDraw.cpp) ----

    // Tetrahedra (optional), bound surface, ground with shadow, springs, dragged point, HUD.
    void draw();
    // Renders the bound surface from above into the shadow frame buffer, then the textured
    // ground square x, z in [-25, 25] at y = kGroundHeight.
    void drawGround();
    // "fps: %f" at the lower left corner.
    void drawHud();

    boost::shared_ptr<TetMesh> tetMesh;          // shared with boundMesh.tetMesh once bound
    TetBoundMesh boundMesh;                      // empty when the scene has no bound surface
    bool drawTets;                               // key '1'
    bool running;                                // one step per drawn frame; key 's'
    Handle handle;                               // the dragged point
    bool wireframe;                              // polygons as lines; key 'w'
    double fps;                                  // steps per second, refreshed every 30 steps
    std::unique_ptr<FBO> shadowFbo;              // made by the constructor
    std::vector<TetMeshFractureInfo> fractures;  // every record since start, in step order
    std::vector<Spring> springs;                 // permanent springs, in creation order
    InteractiveCameraView* view;                 // the window; set right after construction

  private:
    void initMembers();
    // Loads the OBJ surface and binds it to the tetrahedra.
    void bindSurface(const char* objFile);
    // Loads the first texture image of the bound surface into a new material.
    void loadSurfaceTexture(const char* imageFile);
    // Replays the next record of the replay file (key 'p').
    void replayNextFracture(std::vector<TetMeshFractureInfo>& frac, int& loaded, int& index);
};
