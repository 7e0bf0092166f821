#pragma once
// Reading a counted vector of records without trusting the count: the count must fit in the
// bytes left (each record takes at least minBytes), and elements are made one by one as they
// are read, so a damaged count costs no more memory than the bytes that are really there.
// Nested vectors (flows in commands in flows) stay proportional to the file's size this way.
#include <algorithm>

#include "records/Record.h"

template <class T>
bool ReadRecordsBounded(cVector<T>& v, cRecordReader& r, std::size_t minBytes = 8) {
    u32 n = 0;
    if (!r.ReadCount(n, minBytes)) return false;
    v.clear();
    v.reserve(std::min<u32>(n, 256));
    for (u32 i = 0; i < n; ++i) {
        v.emplace_back();
        T& e = v.back();
        e.Clear();
        e.Load(r);
        if (r.Failed()) return false;
    }
    return true;
}
