// The fracture log: a list of fracture records as one text archive of the serialization library,
// beginning "22 serialization::archive 6", written and read token for token in one fixed layout.
#pragma once

#include <iosfwd>
#include <vector>

#include "sim/TetMeshFractureInfo.h"

// Writes the archive header and the whole list as the one top-level object, ending the line.
// Stored per record: tet, normal x y z (8 significant digits), offset (17 significant
// digits), vertex, newVertex, aboveTets, belowTets, aboveSet, belowSet (ascending) and
// separatingTriangles; separatingEdges is not stored. A stream already failed, or failing on
// a write, raises boost::archive::archive_exception (output_stream_error).
void saveFractures(std::ostream& os, const std::vector<TetMeshFractureInfo>& records);

// Empties records, checks the header (signature "serialization::archive", library version at
// most 6), then appends each record as soon as it has been read completely; separatingEdges
// stays empty. Any failure (stream error, bad signature or version, a class version above 0,
// a malformed or missing token) raises boost::archive::archive_exception; records then keeps
// the records read before the failure.
void loadFractures(std::istream& is, std::vector<TetMeshFractureInfo>& records);

// saveFractures into the file at path, opened for writing with truncation. A file that cannot
// be opened raises boost::archive::archive_exception (output_stream_error).
void writeFractureFile(const char* path, const std::vector<TetMeshFractureInfo>& records);

// loadFractures from the file at path. A missing or unreadable file raises
// boost::archive::archive_exception (input_stream_error); records is emptied first either way.
void readFractureFile(const char* path, std::vector<TetMeshFractureInfo>& records);
