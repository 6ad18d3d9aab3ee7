// Fuzz target: a scene description file read by readSceneDescription, as the scene constructor
// reads it (an archive exception is the reader's way of refusing a file).
#include <cstddef>
#include <cstdint>
#include <fstream>

#include <boost/archive/archive_exception.hpp>

#include "app/SceneDescription.h"
#include "tests/fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFile file(data, size, "input.scene");
    SceneDescription d;
    std::ifstream in(file.path());
    try {
        readSceneDescription(in, d);
    } catch (const boost::archive::archive_exception&) {
    }
    return 0;
}
