// Serialisation of the fracture records into the fracture log's text archive layout: header
// "22 serialization::archive 6", class preambles "0 0" on first appearance, floats in general
// notation with 8 (float) and 17 (double) significant digits, sets ascending.
#include "sim/TetMeshFractureArchive.h"

#include <cstring>
#include <fstream>
#include <iomanip>
#include <istream>
#include <ostream>
#include <set>
#include <string>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>
#include <boost/serialization/level.hpp>
#include <boost/serialization/split_member.hpp>
#include <boost/serialization/tracking.hpp>

#include "sim/ArchiveList.h"

namespace {

const char kSignature[] = "serialization::archive";
// Library version written into the header; files of a later version are refused.
const unsigned int kLibraryVersion = 6;

[[noreturn]] void fail(boost::archive::archive_exception::exception_code code) {
    throw boost::archive::archive_exception(code);
}

using archivelist::checkClassVersion;

// A float or double written in general notation with Digits significant digits (the archive
// library would write scientific notation with max_digits10). Read back as a plain number.
template <class T, int Digits>
struct RealToken {
    T* value;
};

template <class T, int Digits>
std::ostream& operator<<(std::ostream& os, const RealToken<T, Digits>& r) {
    os.unsetf(std::ios_base::floatfield);
    return os << std::setprecision(Digits) << *r.value;
}

template <class T, int Digits>
std::istream& operator>>(std::istream& is, const RealToken<T, Digits>& r) {
    return is >> *r.value;
}

typedef RealToken<float, 8> FloatToken;
typedef RealToken<double, 17> DoubleToken;

// A std::vector<int> or std::set<int> in the library's own layout for them (no class
// preamble: count, item version, the elements in container order, so a set ascending). Read
// element by element rather than through the library, which sizes the container from the
// stored count first: a corrupt count then fails at the end of the file instead of claiming
// memory for it.
template <class C>
struct IntCollection {
    C* items;

    template <class Archive>
    void save(Archive& ar, const unsigned int /*version*/) const {
        archivelist::saveHead(ar, items->size());
        for (int item : *items) ar << item;
    }

    template <class Archive>
    void load(Archive& ar, const unsigned int /*version*/) {
        items->clear();
        const std::size_t count = archivelist::loadHead(ar);
        for (std::size_t k = 0; k < count; ++k) {
            int item = 0;
            ar >> item;
            items->insert(items->end(), item);
        }
    }

    BOOST_SERIALIZATION_SPLIT_MEMBER()
};

typedef IntCollection<std::vector<int>> IntVector;
typedef IntCollection<std::set<int>> IntSet;
typedef archivelist::ClassVector<TetMeshFractureInfo> RecordVector;
typedef archivelist::ClassVector<TetMeshFractureInfo::SeparatingTriangle> SeparatingTriangleVector;

}  // namespace

BOOST_CLASS_IMPLEMENTATION(FloatToken, boost::serialization::primitive_type)
BOOST_CLASS_IMPLEMENTATION(DoubleToken, boost::serialization::primitive_type)
BOOST_CLASS_IMPLEMENTATION(IntVector, boost::serialization::object_serializable)
BOOST_CLASS_IMPLEMENTATION(IntSet, boost::serialization::object_serializable)
BOOST_CLASS_TRACKING(IntVector, boost::serialization::track_never)
BOOST_CLASS_TRACKING(IntSet, boost::serialization::track_never)
BOOST_CLASS_TRACKING(RecordVector, boost::serialization::track_never)
BOOST_CLASS_TRACKING(SeparatingTriangleVector, boost::serialization::track_never)
BOOST_CLASS_TRACKING(TetMeshFractureInfo, boost::serialization::track_never)
BOOST_CLASS_TRACKING(TetMeshFractureInfo::SeparatingTriangle, boost::serialization::track_never)

template <class Archive>
void TetMeshFractureInfo::SeparatingTriangle::serialize(Archive& ar, const unsigned int version) {
    checkClassVersion(version, "TetMeshFractureInfo::SeparatingTriangle");
    // clang-format off
    ar & aboveTet;
    ar & belowTet;
    ar & face;
    // clang-format on
}

template <class Archive>
void TetMeshFractureInfo::serialize(Archive& ar, const unsigned int version) {
    checkClassVersion(version, "TetMeshFractureInfo");
    FloatToken nx{&normal.x}, ny{&normal.y}, nz{&normal.z};
    DoubleToken off{&offset};
    SeparatingTriangleVector triangles{&separatingTriangles,
                                       "std::vector<TetMeshFractureInfo::SeparatingTriangle>"};
    IntVector above{&aboveTets}, below{&belowTets};
    IntSet aboveIn{&aboveSet}, belowIn{&belowSet};
    // clang-format off
    ar & tet;
    ar & nx;
    ar & ny;
    ar & nz;
    ar & off;
    ar & vertex;
    ar & newVertex;
    ar & above;
    ar & below;
    ar & aboveIn;
    ar & belowIn;
    ar & triangles;
    // clang-format on
}

void saveFractures(std::ostream& os, const std::vector<TetMeshFractureInfo>& records) {
    if (os.fail()) fail(boost::archive::archive_exception::output_stream_error);
    // The header is written here because the archive library would put its own, later,
    // library version into it.
    os << std::strlen(kSignature) << ' ' << kSignature << ' ' << kLibraryVersion << ' ';
    {
        boost::archive::text_oarchive ar(os, boost::archive::no_header);
        // Saving only reads the list; the wrapper's pointer is non-const for loading's sake.
        const RecordVector list{const_cast<std::vector<TetMeshFractureInfo>*>(&records),
                                "std::vector<TetMeshFractureInfo>"};
        ar << list;
    }  // the archive ends the line when it closes
    if (os.fail()) fail(boost::archive::archive_exception::output_stream_error);
}

namespace {

// Reads "<length> <signature> <version>" and returns the version; throws as the archive
// library does for a bad stream, signature or version.
unsigned int readHeader(std::istream& is) {
    using boost::archive::archive_exception;
    long long length = 0;
    if (!(is >> length)) fail(archive_exception::input_stream_error);
    const std::size_t expected = std::strlen(kSignature);
    if (length != static_cast<long long>(expected)) fail(archive_exception::invalid_signature);
    is.get();  // the one separator before the signature
    std::string signature(expected, '\0');
    if (!is.read(&signature[0], static_cast<std::streamsize>(expected))) {
        fail(archive_exception::input_stream_error);
    }
    if (signature != kSignature) fail(archive_exception::invalid_signature);
    long long version = 0;
    if (!(is >> version)) fail(archive_exception::input_stream_error);
    if (version < 0 || version > kLibraryVersion) fail(archive_exception::unsupported_version);
    return static_cast<unsigned int>(version);
}

}  // namespace

void loadFractures(std::istream& is, std::vector<TetMeshFractureInfo>& records) {
    records.clear();
    const unsigned int version = readHeader(is);
    boost::archive::text_iarchive ar(is, boost::archive::no_header);
    ar.set_library_version(boost::serialization::library_version_type(version));
    RecordVector list{&records, "std::vector<TetMeshFractureInfo>"};
    ar >> list;
}

void writeFractureFile(const char* path, const std::vector<TetMeshFractureInfo>& records) {
    std::ofstream os(path, std::ios_base::out | std::ios_base::trunc);
    saveFractures(os, records);
    os.close();
    if (os.fail()) fail(boost::archive::archive_exception::output_stream_error);
}

void readFractureFile(const char* path, std::vector<TetMeshFractureInfo>& records) {
    records.clear();
    std::ifstream is(path);
    loadFractures(is, records);
}
