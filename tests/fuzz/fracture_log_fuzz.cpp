// Fuzz target: a fracture log read by the replay reader, then every record read replayed onto
// the small body and cut into its bound surface, as the replay key does record by record.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <boost/archive/archive_exception.hpp>

#include "sim/TetBoundMesh.h"
#include "sim/TetMesh.h"
#include "sim/TetMeshFractureArchive.h"
#include "tests/fuzz/FuzzBody.h"
#include "tests/fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const boost::shared_ptr<TetMesh> body = fuzzbody::loadBody();
    static const TetBoundMesh* const surface0 = fuzzbody::loadSurface(body);

    FuzzFile file(data, size, "fractures.txt");
    std::vector<TetMeshFractureInfo> records;
    try {
        readFractureFile(file.path(), records);
    } catch (const boost::archive::archive_exception&) {
        // The replay goes on with the records read before the failure.
    }

    boost::shared_ptr<TetMesh> tm(new TetMesh(*body));
    TetBoundMesh surface(*surface0);
    surface.tetMesh = tm;
    for (TetMeshFractureInfo& info : records) {
        // The split vertex's copy goes to the end of the vertex arrays (as in the replay key).
        info.newVertex = int(tm->vert.size());
        tm->recentFractures.clear();
        tm->debugFracture(info);
        fuzzbody::repose(surface);
        surface.fracture();
    }
    return 0;
}
