// Scene construction: members, fixed GL state, the shadow frame buffer, and the two ways of
// loading a body (two OBJ files, or a scene description file).
#include "app/Scene.h"

#include <GL/glew.h>

#include <cstdio>
#include <fstream>

#include <boost/archive/archive_exception.hpp>

#include "app/SceneDescription.h"
#include "app/glframe/fbo.h"
#include "platform/image/image.h"

void Scene::initMembers() {
    handle.pos = lumo::Vec3<float>(0.0f, 0.0f, 0.0f);
    view = nullptr;
    init();
}

void Scene::init() {
    handle.tet = -1;
    fps = 0.0;
    running = false;
    wireframe = false;
    handle.bary = lumo::Vec4<float>(0.0f, 0.0f, 0.0f, 0.0f);
    drawTets = true;

    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_DEPTH_TEST);

    puts("Creating fbo.");
    shadowFbo.reset(new FBO());
    shadowFbo->resize(1024, 1024);
    puts("Created fbo.");
}

Scene::Scene(const char* tetObjFile, const char* boundObjFile) {
    initMembers();
    Tetrahedron::Material material;
    tetMesh.reset(new TetMesh(material));
    tetMesh->loadobj(tetObjFile);
    if (boundObjFile) bindSurface(boundObjFile);
}

Scene::Scene(const char* sceneFile) {
    initMembers();
    SceneDescription d;
    {
        std::ifstream in(sceneFile);
        readSceneDescription(in, d);
    }
    tetMesh.reset(new TetMesh(d.tetMesh.material));
    tetMesh->loadobj(d.tetMesh.file.c_str());
    tetMesh->fractureThreshold = d.tetMesh.fractureThreshold;

    if (!d.boundMesh.file.empty()) {
        bindSurface(d.boundMesh.file.c_str());
        if (!d.boundMesh.material.textures.empty())
            loadSurfaceTexture(d.boundMesh.material.textures[0].c_str());
    }

    // A spring naming no tetrahedron of the mesh would read outside it in every step.
    const int tetCount = int(tetMesh->tets.size());
    for (std::size_t i = 0; i < d.springs.size(); ++i) {
        const Spring& s = d.springs[i];
        if (s.tet >= 0 && s.tet < tetCount) {
            springs.push_back(s);
        } else {
            fprintf(stderr, "%s: spring %d names tetrahedron %d, but the mesh has %d; dropped\n",
                    sceneFile, int(i), s.tet, tetCount);
        }
    }
    drawTets = d.drawTets;
}

Scene::~Scene() = default;

void Scene::bindSurface(const char* objFile) {
    // Without tetrahedra the binding drops the surface with a message, so the scene goes on
    // without one.
    boundMesh.loadobj(objFile, nullptr);
    boundMesh.bindToTets(tetMesh);
}

void Scene::loadSurfaceTexture(const char* imageFile) {
    // A new material has the default diffuse colour and no texture name yet.
    boost::shared_ptr<Material> material(new Material());
    lumo::Image<unsigned char> image(0, 0, 0);
    image.read(imageFile);
    glGenTextures(1, &material->texture);
    glBindTexture(GL_TEXTURE_2D, material->texture);
    image.initTexture(GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, 0);
    boundMesh.material = material;
}
