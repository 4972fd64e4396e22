// The full-text index's own storage: segment b-tree leaves (prefix-compressed
// terms, each with a doclist) and doclists (per document a docid and the
// positions of the term in each column). Blobs come from files that may be
// damaged: a blob that does not decode whole gives nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fennaro::deep {

// Reads the full-text index's varint at p (avail bytes readable): seven bits
// a byte, least significant first, at most ten bytes. Returns the bytes it
// took, or 0 when it runs past avail or past ten bytes.
int readFtsVarint(const uint8_t* p, size_t avail, uint64_t* value);

// Where a term stands in a document.
struct FtsPosition {
    uint32_t column = 0;
    uint32_t position = 0;
};

// One document of a doclist: its docid and where the term stands in it. A
// document without positions marks a deletion: the term left the document
// after an older segment was written.
struct FtsPosting {
    int64_t docid = 0;
    std::vector<FtsPosition> positions;
};

struct FtsTermDocs {
    std::string term;
    std::vector<FtsPosting> docs;
};

// Decodes a doclist of size bytes. False (with *docs left as decoded so far
// cleared) when it does not decode to its end: a docid that goes backwards,
// a position list that runs off the end, a varint that does.
bool decodeDoclist(const uint8_t* p, size_t size, std::vector<FtsPosting>* docs);

// Decodes a segment leaf node (height 0): its terms, each with its doclist.
// False, with nothing appended, for an interior node or a blob that does
// not decode whole.
bool decodeSegmentLeaf(const uint8_t* p, size_t size, std::vector<FtsTermDocs>* terms);

} // namespace fennaro::deep
