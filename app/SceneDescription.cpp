// Scene description defaults and the reader of its text archive form.
#include "app/SceneDescription.h"

#include <algorithm>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/text_iarchive.hpp>
#include <boost/serialization/collection_size_type.hpp>
#include <boost/serialization/item_version_type.hpp>
#include <boost/serialization/level.hpp>
#include <boost/serialization/split_member.hpp>

namespace {

using boost::archive::archive_exception;

// The layout knows only class version 0 of every type.
void checkClassVersion(unsigned int version) {
    if (version > 0) throw archive_exception(archive_exception::unsupported_class_version);
}

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

// The head of a list: element count, then item version (absent before library version 4).
template <class Archive>
std::size_t loadListHead(Archive& ar) {
    boost::serialization::collection_size_type count;
    ar >> count;
    boost::serialization::item_version_type itemVersion(0);
    if (ar.get_library_version() > boost::archive::library_version_type(3)) ar >> itemVersion;
    return count;
}

template <class Archive, class T>
void loadItem(Archive& ar, T& item) {
    ar >> item;
}

template <class Archive>
void loadItem(Archive& ar, std::string& item) {
    CountedString s{&item};
    ar >> s;
}

// A list of class version 0 with its class preamble on first appearance (one wrapper type per
// list type of the file). Each element is appended once it has been read completely.
template <class T>
struct List {
    std::vector<T>* items;

    template <class Archive>
    void load(Archive& ar, const unsigned int version) {
        checkClassVersion(version);
        items->clear();
        const std::size_t count = loadListHead(ar);
        for (std::size_t k = 0; k < count; ++k) {
            T item;  // a Spring runs its geometry check here, before its fields are read
            loadItem(ar, item);
            items->push_back(item);
        }
    }

    BOOST_SERIALIZATION_SPLIT_MEMBER()
};

// Reading a field through its wrapper.
template <class Archive>
void readField(Archive& ar, std::string& text) {
    CountedString s{&text};
    ar& s;
}

template <class Archive, class T>
void readField(Archive& ar, std::vector<T>& items) {
    List<T> list{&items};
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
