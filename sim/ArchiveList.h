// Lists in the text archives of this program (the fracture log and the scene file), read element
// by element: the archive library would size a container from the count stored in the file
// before reading one element, so a corrupt count would claim memory the file never backs.
#pragma once

#include <cstddef>
#include <vector>

#include <boost/archive/archive_exception.hpp>
#include <boost/serialization/collection_size_type.hpp>
#include <boost/serialization/item_version_type.hpp>
#include <boost/serialization/library_version_type.hpp>
#include <boost/serialization/split_member.hpp>

namespace archivelist {

// Every stored class has version 0; a later one is refused. className (may be null) is named
// in the exception's message.
inline void checkClassVersion(unsigned int version, const char* className = nullptr) {
    if (version > 0) {
        throw boost::archive::archive_exception(
            boost::archive::archive_exception::unsupported_class_version, className);
    }
}

// The head of every list: element count, then item version 0 (archives of library version 3
// and older store no item version).
template <class Archive>
void saveHead(Archive& ar, std::size_t size) {
    const boost::serialization::collection_size_type count(size);
    const boost::serialization::item_version_type itemVersion(0);
    ar << count;
    ar << itemVersion;
}

template <class Archive>
std::size_t loadHead(Archive& ar) {
    boost::serialization::collection_size_type count;
    ar >> count;
    boost::serialization::item_version_type itemVersion(0);
    if (ar.get_library_version() > boost::serialization::library_version_type(3)) {
        ar >> itemVersion;
    }
    return count;
}

// Reads one element through the archive's own operator.
struct PlainElement {
    template <class Archive, class T>
    void operator()(Archive& ar, T& item) const {
        ar >> item;
    }
};

// A vector written as a class of version 0 (its class preamble on first appearance): count,
// item version, then the elements. Loading empties the vector, then appends each element once
// it has been read completely (by ReadElement), so a failure keeps the elements read before it.
template <class T, class ReadElement = PlainElement>
struct ClassVector {
    std::vector<T>* items;
    const char* className;  // named in the error for a later class version; may be null

    template <class Archive>
    void save(Archive& ar, const unsigned int /*version*/) const {
        saveHead(ar, items->size());
        for (const T& item : *items) ar << item;
    }

    template <class Archive>
    void load(Archive& ar, const unsigned int version) {
        checkClassVersion(version, className);
        items->clear();
        const std::size_t count = loadHead(ar);
        for (std::size_t k = 0; k < count; ++k) {
            T item;
            ReadElement()(ar, item);
            items->push_back(item);
        }
    }

    BOOST_SERIALIZATION_SPLIT_MEMBER()
};

}  // namespace archivelist
