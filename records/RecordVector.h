#pragma once
// Reading a counted vector of records without trusting the count: the count must fit in the
// bytes left (each record takes at least minBytes), and elements are made one by one as they
// are read, so a damaged count costs no more memory than the bytes that are really there.
// Nested vectors (flows in commands in flows) stay proportional to the file's size this way.
#include "records/Record.h"

template <class T>
bool ReadRecordsBounded(cVector<T>& v, cRecordReader& r, std::size_t minBytes = 8) {
    return ReadRecordVector(r, v, minBytes);
}
