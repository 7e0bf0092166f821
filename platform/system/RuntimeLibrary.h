#pragma once

// A shared library opened when a feature first needs it instead of with the program, so that
// a start does not pay for what the game may never use and a missing library costs only its
// feature. The installed version's name is tried first, then the development link's name. The
// library stays loaded for the rest of the run.
class cRuntimeLibrary {
public:
    // bindNow: resolve every symbol at once (for a library whose later lazy binding would
    // happen on a thread that must not stall).
    cRuntimeLibrary(const char* soname, const char* devName, bool bindNow = false);

    bool IsOpen() const { return m_pLib != nullptr; }
    // Looks fn up by name; a function not found is null and makes FoundAll false.
    template <class Fn>
    void Find(Fn& fn, const char* name) {
        fn = reinterpret_cast<Fn>(Symbol(name));
        m_bAll = m_bAll && fn != nullptr;
    }
    // Looks up a function the feature can do without: FoundAll stays as it is.
    template <class Fn>
    void FindOptional(Fn& fn, const char* name) const {
        fn = reinterpret_cast<Fn>(Symbol(name));
    }
    // The library opened and every function looked up with Find was found.
    bool FoundAll() const { return m_bAll; }

private:
    void* Symbol(const char* name) const;

    void* m_pLib = nullptr;
    bool m_bAll = false;
};
