#include "platform/system/RuntimeLibrary.h"

#include <dlfcn.h>

cRuntimeLibrary::cRuntimeLibrary(const char* soname, const char* devName, bool bindNow) {
    const int how = (bindNow ? RTLD_NOW : RTLD_LAZY) | RTLD_LOCAL;
    m_pLib = dlopen(soname, how);
    if (!m_pLib) m_pLib = dlopen(devName, how);
    m_bAll = m_pLib != nullptr;
}

void* cRuntimeLibrary::Symbol(const char* name) const { return m_pLib ? dlsym(m_pLib, name) : nullptr; }
