/* A packed stream's framing walked on its own, independent of the decoder's
 * read rules: a 10-byte length block, full blocks, one shorter last block.
 * It gives where the stream's blocks really end, which verify compares with
 * the length the decoder measured. */
#ifndef QUORBELL_STREAM_FRAMING_H
#define QUORBELL_STREAM_FRAMING_H

#include <cstdint>
#include <string>

struct StreamFraming {
    bool sound;              /* every block checked out and a last block was found */
    std::string problem;     /* the first fault when not sound */
    uint32_t declaredLength; /* from the first block, when it checked out */
    uint64_t length;         /* bytes from the stream's start to the end of its last block */
    uint32_t blocks;
};

StreamFraming walkStreamFraming(const std::string &path, uint64_t offset, uint64_t fileSize);

#endif
