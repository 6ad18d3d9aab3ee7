// Tests of the fracture log: exact token layout, round trips and the failures on reading.
#include <sstream>
#include <string>
#include <vector>

#include <boost/archive/archive_exception.hpp>
#include <gtest/gtest.h>

#include "sim/TetMeshFractureArchive.h"
#include "tests/support/TempFile.h"

namespace {

using boost::archive::archive_exception;
typedef lumo::Vec3<float> V3;

// A record as the fracture code would leave it, filled by hand (no tetrahedra needed).
TetMeshFractureInfo makeRecord(int tet, V3 normal, double offset, int vertex, int newVertex,
                               std::vector<int> above, std::vector<int> below,
                               std::vector<TetMeshFractureInfo::SeparatingTriangle> tris) {
    TetMeshFractureInfo r;
    r.tet = tet;
    r.normal = normal;
    r.offset = offset;
    r.vertex = vertex;
    r.newVertex = newVertex;
    r.aboveTets = above;
    r.belowTets = below;
    r.aboveSet.insert(above.begin(), above.end());
    r.belowSet.insert(below.begin(), below.end());
    r.separatingTriangles = tris;
    return r;
}

TetMeshFractureInfo workedExample() {
    return makeRecord(5, V3(0, 1, 0), -0.5, 3, 10, {5, 7}, {2}, {{5, 2, 1}});
}

std::string save(const std::vector<TetMeshFractureInfo>& records) {
    std::ostringstream os;
    saveFractures(os, records);
    return os.str();
}

// The archive code of the exception that f raises (none: -1); *what receives its text.
template <class F>
int failureCode(F f, std::string* what = nullptr) {
    try {
        f();
    } catch (const archive_exception& e) {
        if (what) *what = e.what();
        return e.code;
    }
    return -1;
}

int loadFailure(const std::string& text, std::vector<TetMeshFractureInfo>& records,
                std::string* what = nullptr) {
    std::istringstream is(text);
    return failureCode([&] { loadFractures(is, records); }, what);
}

const char kWorkedExample[] =
    "22 serialization::archive 6 0 0 1 0 0 0 5 0 1 0 -0.5 3 10 2 0 5 7 1 0 2 2 0 5 7 1 0 2 0 0 1 "
    "0 0 0 5 2 1\n";

}  // namespace

TEST(FractureArchive, TokenLayout) {
    // Empty triangle lists still carry "0 0"; lists keep their order, sets are ascending.
    const std::pair<std::vector<TetMeshFractureInfo>, std::string> cases[] = {
        {{workedExample()}, kWorkedExample},
        {{}, "22 serialization::archive 6 0 0 0 0\n"},
        {{makeRecord(0, V3(1, 0, 0), 0.1, 1, 4, {0}, {1}, {}),
          makeRecord(2, V3(0.70710678f, -0.6f, 0), 2, 3, 5, {2}, {3}, {{2, 3, 0}})},
         "22 serialization::archive 6 0 0 2 0 "
         "0 0 0 1 0 0 0.10000000000000001 1 4 1 0 0 1 0 1 1 0 0 1 0 1 0 0 0 0 "
         "2 0.70710677 -0.60000002 0 2 3 5 1 0 2 1 0 3 1 0 2 1 0 3 1 0 0 0 2 3 0\n"},
        {{makeRecord(9, V3(0, 0, 1), -1, 0, 1, {9, 4, 6}, {8, 2}, {})},
         "22 serialization::archive 6 0 0 1 0 0 0 9 0 0 1 -1 0 1 3 0 9 4 6 2 0 8 2 "
         "3 0 4 6 9 2 0 2 8 0 0 0 0\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(save(c.first), c.second);
}

TEST(FractureArchive, WriteThenReadGivesEqualRecords) {
    std::vector<TetMeshFractureInfo> written = {
        workedExample(),
        makeRecord(1, V3(0.267261f, 0.534522f, -0.801784f), 1.0 / 3.0, 12, 40, {3, 1, 2}, {7, 0},
                   {{3, 7, 2}, {1, 0, 3}}),
        makeRecord(7, V3(-1, 0, 0), -1e-20, 2, 41, {}, {}, {})};
    written[0].separatingEdges.push_back({3, 10, 4});  // not stored
    const testsupport::TempFile file("fractures.txt"), missing("missing.txt");
    writeFractureFile(file.c_str(), written);
    const std::string text = save(written);
    EXPECT_EQ(file.read(), text);
    std::vector<TetMeshFractureInfo> read;
    readFractureFile(file.c_str(), read);
    // The writer (layout fixed above) prints every stored field exactly: equal text, equal records.
    EXPECT_EQ(save(read), text);
    for (const TetMeshFractureInfo& r : read) EXPECT_TRUE(r.separatingEdges.empty());
    // Cut inside the third record: the first two are kept.
    EXPECT_EQ(loadFailure(text.substr(0, text.size() - 8), read),
              archive_exception::input_stream_error);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[1].tet, 1);
    // A missing file and an unwritable path raise the archive library's stream errors.
    EXPECT_EQ(failureCode([&] { readFractureFile(missing.c_str(), read); }),
              archive_exception::input_stream_error);
    EXPECT_TRUE(read.empty());
    EXPECT_EQ(failureCode([&] { writeFractureFile("/nonexistent-dir/fractures.txt", written); }),
              archive_exception::output_stream_error);
}

TEST(FractureArchive, BadHeadersAndClassVersionsAreRejected) {
    // Class version token k (from the "22") set to 1: 4 list, 8 record, 31 triangles, 35 triangle.
    auto version1At = [](int k) {
        std::istringstream in(kWorkedExample);
        std::string token, text;
        for (int i = 0; in >> token; ++i) text += (i ? " " : "") + (i == k ? "1" : token);
        return text + "\n";
    };
    const std::pair<std::string, int> cases[] = {
        {"22 serialization::archivX 6 0 0 0 0\n", archive_exception::invalid_signature},
        {"21 serialization::archiv 6 0 0 0 0\n", archive_exception::invalid_signature},
        {"22 serialization::archive 7 0 0 0 0\n", archive_exception::unsupported_version},
        {"22 serialization::archive 18 0 0 0 0\n", archive_exception::unsupported_version},
        {"", archive_exception::input_stream_error},
        {"hello", archive_exception::input_stream_error},
        // A word for a number; huge counts run into the file's end instead of sizing containers.
        {"22 serialization::archive 6 0 0 1 0 0 0 5 0 1 0 x0.5 3 10\n",
         archive_exception::input_stream_error},
        {"22 serialization::archive 6 0 0 4000000000 0 0 0 5 0 1 0 -0.5 3 10 3000000000 0 5 7\n",
         archive_exception::input_stream_error},
        {"22 serialization::archive 5 0 0 0 0\n", -1},
        {version1At(4), archive_exception::unsupported_class_version},
        {version1At(8), archive_exception::unsupported_class_version},
        {version1At(31), archive_exception::unsupported_class_version},
        {version1At(35), archive_exception::unsupported_class_version},
    };
    for (const auto& c : cases) {
        std::vector<TetMeshFractureInfo> records;
        EXPECT_EQ(loadFailure(c.first, records), c.second) << c.first;
        EXPECT_TRUE(records.empty()) << c.first;
    }
    std::vector<TetMeshFractureInfo> records;
    std::string what;
    loadFailure("22 serialization::archive 6 0 0 1 0 0 1 5\n", records, &what);
    EXPECT_EQ(what, "class version TetMeshFractureInfo");
    loadFailure(version1At(4), records, &what);
    EXPECT_EQ(what, "class version std::vector<TetMeshFractureInfo>");
}
