// Scene description defaults and the reader of its text archive form.
#include "app/SceneDescription.h"

#include <algorithm>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/text_iarchive.hpp>
#include <boost/serialization/level.hpp>

#include "sim/ArchiveList.h"

namespace {

using archivelist::checkClassVersion;
using boost::archive::archive_exception;

// The archive header: "22 serialization::archive <library version>". Returns the version.
unsigned int readHeader(std::istream& in) {
    static const std::string kSignature = "serialization::archive";
    std::size_t length = 0;
    in >> length;
    if (!in) throw archive_exception(archive_exception::input_stream_error);
    if (length != kSignature.size()) throw archive_exception(archive_exception::invalid_signature);
    in.get();  // the one separator between a string's length and its characters
    std::string signature(length, '\0');
    in.read(&signature[0], std::streamsize(length));
    if (!in) throw archive_exception(archive_exception::input_stream_error);
    if (signature != kSignature) throw archive_exception(archive_exception::invalid_signature);
    unsigned int version = 0;
    in >> version;
    if (!in) throw archive_exception(archive_exception::input_stream_error);
    if (version > 6) throw archive_exception(archive_exception::unsupported_version);
    return version;
}

}  // namespace

namespace {

// Strings and lists are read piece by piece, never sized from the count stored in the file
// (which the archive library would allocate before reading one element): a corrupt count then
// fails at the end of the file, having claimed no more memory than the file's own contents.

// A string in the archive's form: its length, exactly one separator, that many characters.
struct CountedString {
    std::string* text;
};

std::istream& operator>>(std::istream& is, const CountedString& s) {
    std::size_t length = 0;
    if (!(is >> length)) return is;
    is.get();
    s.text->clear();
    char piece[4096];
    while (length > 0) {
        const std::size_t n = std::min(length, sizeof piece);
        if (!is.read(piece, std::streamsize(n))) return is;
        s.text->append(piece, n);
        length -= n;
    }
    return is;
}

// Reads a string element of a list through CountedString.
struct CountedStringElement {
    template <class Archive>
    void operator()(Archive& ar, std::string& item) const {
        CountedString s{&item};
        ar >> s;
    }
};

// The lists of the file, one wrapper type per element type (each gets its class preamble on
// first appearance). A Spring runs its geometry check when constructed, before its fields are
// read.
template <class T>
struct ListOf {
    typedef archivelist::ClassVector<T> type;
};

template <>
struct ListOf<std::string> {
    typedef archivelist::ClassVector<std::string, CountedStringElement> type;
};

// Reading a field through its wrapper.
template <class Archive>
void readField(Archive& ar, std::string& text) {
    CountedString s{&text};
    ar& s;
}

template <class Archive, class T>
void readField(Archive& ar, std::vector<T>& items) {
    typename ListOf<T>::type list{&items, nullptr};
    ar& list;
}

}  // namespace

BOOST_CLASS_IMPLEMENTATION(CountedString, boost::serialization::primitive_type)

SceneDescription::TetMesh::TetMesh() : fractureThreshold(1000.0) {}

SceneDescription::BasicObject::BasicObject()
    : vecf(0.0f, 0.0f, 0.0f), value(1.0), vecd(0.0, 0.0, 0.0) {}

SceneDescription::SceneDescription() {}

template <class Archive>
void SceneDescription::Material::serialize(Archive& ar, const unsigned int version) {
    checkClassVersion(version);
    readField(ar, name);
    readField(ar, textures);
}

template <class Archive>
void SceneDescription::TetMesh::serialize(Archive& ar, const unsigned int version) {
    checkClassVersion(version);
    readField(ar, file);
    ar& material.youngsModulus;
    ar& material.poissonRatio;
    ar& fractureThreshold;
    ar& material.plasticYield;
    ar& material.plasticMax;
    ar& material.plasticCreep;
}

template <class Archive>
void SceneDescription::TetBoundMesh::serialize(Archive& ar, const unsigned int version) {
    checkClassVersion(version);
    readField(ar, file);
    ar& material;
}

template <class Archive>
void SceneDescription::BasicObject::serialize(Archive& ar, const unsigned int version) {
    checkClassVersion(version);
    readField(ar, name);
    ar& vecf.x;
    ar& vecf.y;
    ar& vecf.z;
    ar& vecd.x;
    ar& vecd.y;
    ar& vecd.z;
    ar& value;
    ar& material;
}

template <class Archive>
void SceneDescription::serialize(Archive& ar, const unsigned int version) {
    checkClassVersion(version);
    ar& drawTets;
    ar& tetMesh;
    ar& boundMesh;
    readField(ar, objects);
    readField(ar, springs);
}

template <class Archive>
void Spring::serialize(Archive& ar, const unsigned int version) {
    checkClassVersion(version);
    ar& tet;
    ar& bary[0];
    ar& bary[1];
    ar& bary[2];
    ar& pos.x;
    ar& pos.y;
    ar& pos.z;
}

void readSceneDescription(std::istream& in, SceneDescription& d) {
    unsigned int version = readHeader(in);
    boost::archive::text_iarchive ar(in, boost::archive::no_header);
    ar.set_library_version(boost::archive::library_version_type(version));
    ar >> d;
}
