#pragma once
// Every table of records and every per-object array lives in one of these two containers. A bad
// index never reads outside them: it is reported, the program is asked to close in order, and
// the caller gets a harmless element so that the current frame can finish.
#include <iterator>
#include <list>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/system/Types.h"

// Writes "err V[%d] ( %d , %d )" (kind 'V') or "err L[...]" (kind 'L') to the report file and
// posts WM_CLOSE to the main window. The third number is this build's element size.
void ReportBadIndex(char kind, long long index, std::size_t count, std::size_t elementSize);
// The same line, and nothing else: for a caller that mends the index and plays on.
void WriteBadIndex(char kind, long long index, std::size_t count, std::size_t elementSize);

// The storage a cVector of T uses; a record library may give its small records their own
// (declared before the record class is complete, so that every use names the same type).
template <class T>
struct cVectorAllocator {
    using type = std::allocator<T>;
};

template <class T, class Alloc = typename cVectorAllocator<T>::type>
class cVector : public std::vector<T, Alloc> {
public:
    using std::vector<T, Alloc>::vector;

    // The check is inline and the bad index's handling out of line: a step of thousands of
    // characters indexes its tables some hundred times each, and a call for every one of them
    // costs more than the check.
    T& operator[](long long index) {
        if (index >= 0 && static_cast<unsigned long long>(index) < this->size()) [[likely]]
            return this->data()[static_cast<std::size_t>(index)];
        return BadIndex(*this, index);
    }
    const T& operator[](long long index) const {
        if (index >= 0 && static_cast<unsigned long long>(index) < this->size()) [[likely]]
            return this->data()[static_cast<std::size_t>(index)];
        return BadIndex(const_cast<cVector&>(*this), index);
    }

    int Size() const { return static_cast<int>(this->size()); }

private:
    [[gnu::cold, gnu::noinline]] static T& BadIndex(cVector& v, long long index) {
        ReportBadIndex('V', index, v.size(), sizeof(T));
        if (!v.empty()) return v.data()[0];
        throw std::out_of_range("invalid vector<T> subscript");
    }
};

template <class T>
class cList : public std::list<T> {
public:
    using std::list<T>::list;

    T& operator[](long long index) {
        if (index >= 0 && static_cast<unsigned long long>(index) < this->size()) {
            auto it = this->begin();
            std::advance(it, index);
            return *it;
        }
        ReportBadIndex('L', index, this->size(), sizeof(T));
        return DefaultElement();
    }

    int Size() const { return static_cast<int>(this->size()); }

private:
    // What a bad index yields. It is made afresh on every bad access, so what an earlier caller
    // wrote into it never reaches the next one.
    static T& DefaultElement() {
        static T element{};
        element = T{};
        return element;
    }
};

// Erases the n-th element; nothing when n is out of range. Returns the iterator after it.
template <class T>
typename cList<T>::iterator ListEraseAt(cList<T>& list, int n) {
    if (n < 0 || static_cast<std::size_t>(n) >= list.size()) return list.end();
    auto it = list.begin();
    std::advance(it, n);
    return list.erase(it);
}

// The n-th element (n <= 0: the first); stops at end() rather than walking past it.
template <class T>
typename cList<T>::iterator ListIterAt(cList<T>& list, int n) {
    auto it = list.begin();
    for (int i = 0; i < n && it != list.end(); ++i) ++it;
    return it;
}

inline void FillU32(cVector<u32>& v, u32 value) {
    for (int i = 0; i < v.Size(); ++i) v[i] = value;
}

inline void FillBytes(cVector<u8>& v, u8 value) {
    for (int i = 0; i < v.Size(); ++i) v[i] = value;
}
