#pragma once

#include <cstddef>

// The usual account file, as this program writes it, ends every line in CR LF and holds ASCII
// names. Such lines are skipped 64 bytes at a time, from bit masks of the line ends and of the
// stops of a name field (comma, CR, LF): a line's name can only be one of the names looked for
// when a stop follows its start at the distance of one of their lengths, and only those lines
// are handed to nameFound. Starts at the start of a line; returns the start of the first line it
// leaves to the byte-by-byte path (one with another line end, a byte of 0x80 or above near it,
// or one too close to end), or null once nameFound returned false to end the scan. It counts the
// line ends it passes into *lineEnds, so that a name found can be told its line without a second
// read of the file; while nameFound runs, *lineEnds counts those before the name.
//
// lengths are those of the names looked for, each from 1 to 63.
struct PlainLineNames
{
    const int *lengths;
    int lengthCount;
    // The name field of a candidate line; false ends the scan.
    bool (*nameFound)(void *context, const char *name, std::size_t length, bool nonAscii);
    void *context;
    long long *lineEnds;
};

using PlainLineSkipper = const char *(*)(const char *lineStart, const char *end,
                                         const PlainLineNames &names);

enum class VectorWidth
{
    Widest, // the widest this processor has: AVX2, else SSE2
    Narrow, // SSE2, which every x86-64 processor has
};

// The way of the given width, or null where the processor has none.
PlainLineSkipper plainLineSkipper(VectorWidth width);
