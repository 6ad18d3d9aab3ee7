// Scene description defaults and the reader of its text archive form.
#include "app/SceneDescription.h"

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/text_iarchive.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/vector.hpp>

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

// The lists of the scene file carry class version 0 like every other class of it.
namespace boost {
namespace serialization {

template <class Archive>
void serialize(Archive& ar, std::vector<std::string>& v, const unsigned int version) {
    checkClassVersion(version);
    split_free(ar, v, version);
}

template <class Archive>
void serialize(Archive& ar, std::vector<SceneDescription::BasicObject>& v,
               const unsigned int version) {
    checkClassVersion(version);
    split_free(ar, v, version);
}

template <class Archive>
void serialize(Archive& ar, std::vector<Spring>& v, const unsigned int version) {
    checkClassVersion(version);
    split_free(ar, v, version);
}

}  // namespace serialization
}  // namespace boost

SceneDescription::TetMesh::TetMesh() : fractureThreshold(1000.0) {}

SceneDescription::BasicObject::BasicObject()
    : vecf(0.0f, 0.0f, 0.0f), value(1.0), vecd(0.0, 0.0, 0.0) {}

SceneDescription::SceneDescription() {}

template <class Archive>
void SceneDescription::Material::serialize(Archive& ar, const unsigned int version) {
    checkClassVersion(version);
    ar& name;
    ar& textures;
}

template <class Archive>
void SceneDescription::TetMesh::serialize(Archive& ar, const unsigned int version) {
    checkClassVersion(version);
    ar& file;
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
    ar& file;
    ar& material;
}

template <class Archive>
void SceneDescription::BasicObject::serialize(Archive& ar, const unsigned int version) {
    checkClassVersion(version);
    ar& name;
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
    ar& objects;
    ar& springs;
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
